// The plasma-warp scenes: the blend and its thresholds over every alpha, the window offsets at known
// times through a per-pixel reference of the whole scene, and the plain plasma's drift and wrap.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "2d/frame.h"
#include "assets/pictures.h"
#include "effects/effects.h"
#include "effects/plasma.h"
#include "effects/tables.h"
#include "main/demo.h"

namespace {

using Frame = std::vector<uint32_t>;

struct Plasma : ::testing::Test {
    static void SetUpTestSuite() { initDemo(); }
};

uint32_t rgb(uint32_t r, uint32_t g, uint32_t b) { return (r << 16) | (g << 8) | b; }

// Straight from the description, channel by channel.
uint32_t referenceOver(const uint8_t* p, uint32_t q) {
    const uint32_t alpha = p[3];
    if (alpha < 10) return q;
    if (alpha >= 240) return rgb(p[0], p[1], p[2]);
    const uint32_t qr = (q >> 16) & 255, qg = (q >> 8) & 255, qb = q & 255;
    const uint32_t red = (alpha * p[0] + (255 - alpha) * qr) / 256;
    const uint32_t green = (alpha * p[1] + (255 - alpha) * qg) / 256;
    const uint32_t blue = alpha * p[2] / 256 + (255 - alpha) * qb / 256;
    return rgb(red, green, blue);
}

// A row of picture pixels over a row of plasma colours through the scene's row routine: plasma
// colour x is put at pixel x of a plasma picture of the test's own and indexed from there.
std::vector<uint32_t> overRow(const std::vector<uint8_t>& pictureRow, const std::vector<uint32_t>& plasmaColours) {
    std::vector<uint8_t> plasma(256 * 256 * 4 + 1, 0);
    std::vector<uint16_t> index(320);
    for (int x = 0; x < 320; ++x) {
        const uint16_t at = static_cast<uint16_t>((x * 977) % 65536);  // spread over the picture
        index[x] = at;
        plasma[4 * at] = uint8_t(plasmaColours[x] >> 16);
        plasma[4 * at + 1] = uint8_t(plasmaColours[x] >> 8);
        plasma[4 * at + 2] = uint8_t(plasmaColours[x]);
        plasma[4 * at + 3] = 0x5A;  // the plasma's alpha is ignored
    }
    std::vector<uint32_t> out(320, 0xDEADBEEF);
    plasmaBehindRow(out.data(), pictureRow.data(), index.data(), plasma.data());
    return out;
}

// One picture pixel over one plasma pixel, alone in a row of bare picture pixels.
uint32_t over(uint32_t r, uint32_t g, uint32_t b, uint32_t alpha, uint32_t plasma) {
    std::vector<uint8_t> row(320 * 4, 0);
    std::vector<uint32_t> colours(320, 0x010203);
    row[4 * 7] = uint8_t(r), row[4 * 7 + 1] = uint8_t(g), row[4 * 7 + 2] = uint8_t(b), row[4 * 7 + 3] = uint8_t(alpha);
    colours[7] = plasma;
    return overRow(row, colours)[7];
}

uint32_t packed(const uint8_t* picture, int index) {
    const uint8_t* p = picture + 4 * index;
    return rgb(p[0], p[1], p[2]);
}

// effect2 / effect12 per pixel, with the four offsets given rather than derived from t.
Frame referenceBehind(const uint8_t* picture, const uint8_t* plasma, int k1, int k2, int k3, int k4) {
    Frame f(kPixels);
    auto X = [](int i, int j) { return int(xmap[i * 512 + j]); };
    auto Y = [](int i, int j) { return int(ymap[i * 512 + j]); };
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 320; ++x) {
            const int u = (Y(y + k4, x + k2) + X(y + k1, x + k3)) / 2;
            const int v = (X(y + k3, x + k1) + Y(y + k2, x + k4)) / 2;
            f[y * 320 + x] = referenceOver(picture + 4 * (y * 320 + x), packed(plasma, u * 256 + v));
        }
    return f;
}

Frame drawn(void (*effect)(uint32_t*, int32_t), int32_t t) {
    Frame f(kPixels, 0x12345678);  // every pixel must be written
    effect(f.data(), t);
    return f;
}

void expectSameFrame(const Frame& real, const Frame& expected, const std::string& what) {
    for (int i = 0; i < kPixels; ++i)
        if (real[i] != expected[i]) {
            ADD_FAILURE() << what << ": pixel (" << i % 320 << ", " << i / 320 << ") is " << std::hex
                          << real[i] << " not " << expected[i];
            return;
        }
}

}  // namespace

// Rows of random pixels whose alphas come in runs of every kind (covered, bare, either side of
// both thresholds, mixed), so that every way through the row routine meets the reference.
TEST_F(Plasma, BlendMatchesTheReferenceOverEveryKindOfRun) {
    uint32_t seed = 5;
    auto next = [&seed] { return seed = seed * 1664525u + 1013904223u, seed >> 8; };
    for (int rowNumber = 0; rowNumber < 400; ++rowNumber) {
        std::vector<uint8_t> row(320 * 4);
        std::vector<uint32_t> colours(320);
        int x = 0;
        while (x < 320) {
            const int length = 1 + int(next() % 9), kind = int(next() % 6);
            for (int k = 0; k < length && x < 320; ++k, ++x) {
                const uint32_t any = next() & 255;
                const uint32_t alpha = kind == 0 ? 255 : kind == 1 ? 0 : kind == 2 ? 240 + any % 16
                                     : kind == 3 ? any % 10 : kind == 4 ? 8 + any % 4 : any;
                for (int c = 0; c < 3; ++c) row[4 * x + c] = uint8_t(next());
                row[4 * x + 3] = uint8_t(alpha);
                colours[x] = next() & 0xFFFFFF;
            }
        }
        const std::vector<uint32_t> out = overRow(row, colours);
        for (int i = 0; i < 320; ++i)
            ASSERT_EQ(out[i], referenceOver(&row[4 * i], colours[i]))
                << "row " << rowNumber << " pixel " << i << " alpha " << int(row[4 * i + 3]);
    }
}

TEST_F(Plasma, ThresholdsAtTenAndTwoHundredForty) {
    const uint32_t plasma = 0x123456;
    EXPECT_EQ(over(200, 100, 50, 9, plasma), plasma);           // still the plasma alone
    EXPECT_NE(over(200, 100, 50, 10, plasma), plasma);          // already blends
    EXPECT_NE(over(200, 100, 50, 239, plasma), rgb(200, 100, 50));  // still blends
    EXPECT_EQ(over(200, 100, 50, 240, plasma), rgb(200, 100, 50));  // the picture alone
    EXPECT_EQ(over(200, 100, 50, 0, plasma), plasma);
    EXPECT_EQ(over(200, 100, 50, 255, plasma), rgb(200, 100, 50));
}

TEST_F(Plasma, StatedBlends) {
    EXPECT_EQ(over(255, 255, 255, 128, 0), rgb(127, 127, 127));         // white over black
    EXPECT_EQ(over(0, 0, 0, 128, 0xFFFFFF), rgb(126, 126, 126));        // black over white
    for (uint32_t alpha = 10; alpha <= 239; ++alpha)                    // white over white
        EXPECT_EQ(over(255, 255, 255, alpha, 0xFFFFFF), rgb(254, 254, 253)) << alpha;
}

// The offsets are pinned at the stated times by comparing the whole frame with the reference fed
// the stated (k1, k2, k3, k4).
TEST_F(Plasma, Effect2OffsetsAtStatedTimes) {
    expectSameFrame(drawn(effect2, 90000), referenceBehind(demogirl, plasmapic, 78, 128, 128, 192), "t=90000");
    expectSameFrame(drawn(effect2, 85300), referenceBehind(demogirl, plasmapic, 186, 94, 137, 65), "t=85300");
    for (int32_t t : {0, 6})  // all four indices 0: column 319 reads the maps' last column
        expectSameFrame(drawn(effect2, t), referenceBehind(demogirl, plasmapic, 128, 192, 128, 192),
                        "t=" + std::to_string(t));
}

TEST_F(Plasma, Effect12OffsetsAtStatedTimes) {
    expectSameFrame(drawn(effect12, 102250), referenceBehind(demogirl2, plasmapic2, 88, 140, 177, 138),
                    "t=102250");
}

TEST_F(Plasma, Effect9DriftsThroughThePicture) {
    for (int32_t t : {59600, 63999, 68299}) {
        Frame expected(kPixels);
        for (int y = 0; y < 240; ++y)
            for (int x = 0; x < 320; ++x) {
                const int u = (ymap[y * 512 + x] + t / 8) % 256;  // a row every 8 ms
                const int v = (xmap[y * 512 + x] + t / 16) % 256; // a column every 16 ms
                expected[y * 320 + x] = packed(plasmapic2, u * 256 + v);
            }
        expectSameFrame(drawn(effect9, t), expected, "t=" + std::to_string(t));
    }
}

TEST_F(Plasma, Effect9WrapsEvery4096Milliseconds) {
    for (int32_t t : {59600, 61234, 64195}) {
        expectSameFrame(drawn(effect9, t), drawn(effect9, t + 4096), "t=" + std::to_string(t));
        EXPECT_TRUE(drawn(effect9, t) != drawn(effect9, t + 8)) << "the plasma must move at t=" << t;
    }
}
