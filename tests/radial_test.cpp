// The radial blur against a slow per-channel reference of its four in-place passes, its safe
// handling of a centre outside the frame and of odd shifts, and the radial-blur scene's dots and stamp.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "2d/frame.h"
#include "assets/pictures.h"
#include "effects/sync.h"
#include "effects/tables.h"
#include "effects/effects.h"
#include "main/demo.h"

namespace {

using Frame = std::vector<uint32_t>;

// Random pixels, top byte included, so that the blur's zero top byte is checked too.
Frame noise(uint32_t seed) {
    Frame f(kPixels);
    for (auto& p : f) {
        seed = seed * 1664525u + 1013904223u;
        p = seed;
    }
    return f;
}

// Straight from the description: each pixel in visiting order becomes the per-channel truncated
// mean of itself and its source, a 1 / 2^s step of the way to the centre.
void referenceBlur(Frame& f, int cx, int cy, int s) {
    auto sourceOf = [s](int v, int c) { return v <= c ? v + ((c - v) >> s) : v - ((v - c) >> s); };
    auto visit = [&](int x, int y) {
        const uint32_t p = f[y * 320 + x];
        const uint32_t q = f[sourceOf(y, cy) * 320 + sourceOf(x, cx)];
        uint32_t out = 0;
        for (int shift : {16, 8, 0}) {
            const uint32_t a = (p >> shift) & 255, b = (q >> shift) & 255;
            out |= ((a + b) / 2) << shift;
        }
        f[y * 320 + x] = out;
    };
    for (int y = cy; y >= 0; --y)
        for (int x = cx; x >= 0; --x) visit(x, y);
    for (int y = cy; y >= 0; --y)
        for (int x = cx + 1; x <= 319; ++x) visit(x, y);
    for (int y = cy + 1; y <= 239; ++y)
        for (int x = cx; x >= 0; --x) visit(x, y);
    for (int y = cy + 1; y <= 239; ++y)
        for (int x = cx + 1; x <= 319; ++x) visit(x, y);
}

// Index of the first differing pixel, or -1.
int firstDifference(const Frame& a, const Frame& b) {
    for (int i = 0; i < kPixels; ++i)
        if (a[i] != b[i]) return i;
    return -1;
}

void expectBlurMatches(int cx, int cy, int s, uint32_t seed, int refCx, int refCy, int refS) {
    Frame real = noise(seed), expected = real;
    RadialBlur(real.data(), cx, cy, s);
    referenceBlur(expected, refCx, refCy, refS);
    const int at = firstDifference(real, expected);
    EXPECT_EQ(at, -1) << "centre (" << cx << ", " << cy << ") shift " << s << ": pixel (" << at % 320
                      << ", " << at / 320 << ") is " << std::hex << real[at] << " not " << expected[at];
}

struct Dot {
    int x, y;
};

// Dot i of chain j at show time t, from the description.
Dot dotAt(int32_t t, int j, int i) {
    const int a = 150 * j + 2 * i;
    return {160 + (sine[(a + t * j / 8) % 1000] >> 2), 54 + (cose[(a + t * j / 4) % 1000] >> 3)};
}

int blurCentreAt(int32_t t) { return 160 + (sine[(t / 8 + 400) % 1000] >> 1); }

// The whole scene from its description: dots, the reference blur, the stamp.
void referenceScene(Frame& f, int32_t t) {
    int pair = 0;
    while (radialsync[2 * pair + 1] < t) ++pair;
    const bool lit = radialsync[2 * pair] < t && t < radialsync[2 * pair + 1];
    for (int j = 1; j <= 5; ++j)
        for (int i = 0; i < 50; ++i) {
            const Dot d = dotAt(t, j, i);
            if (j % 2 == 0) {
                f[d.y * 320 + d.x] = f[d.y * 320 + d.x + 1] = 0x22FFFF;
            } else {
                f[d.y * 320 + d.x] = f[(d.y + 1) * 320 + d.x] = 0xFF22FF;
            }
        }
    referenceBlur(f, blurCentreAt(t), 5, 4);
    for (int y = 50; y <= 239; ++y)
        for (int x = 80; x <= 259; ++x)
            if (silhouette[4 * (y * 320 + x) + 2] != 0) f[y * 320 + x] = lit ? 0x999999 : 0;
}

int stampPixels() {
    int n = 0;
    for (int y = 50; y <= 239; ++y)
        for (int x = 80; x <= 259; ++x) n += silhouette[4 * (y * 320 + x) + 2] != 0;
    return n;
}

// How many pixels of the stamp area carry colour where the silhouette's mask is set.
int stampPixelsOf(const Frame& f, uint32_t colour) {
    int n = 0;
    for (int y = 50; y <= 239; ++y)
        for (int x = 80; x <= 259; ++x)
            n += silhouette[4 * (y * 320 + x) + 2] != 0 && f[y * 320 + x] == colour;
    return n;
}

struct RadialScene : ::testing::Test {
    static void SetUpTestSuite() { initDemo(); }
};

}  // namespace

TEST(RadialBlur, MatchesTheFourPassReference) {
    const int centres[][2] = {{160, 5}, {32, 5}, {287, 5}, {0, 0}, {319, 239}, {0, 239},
                              {319, 0}, {200, 120}, {1, 238}};
    uint32_t seed = 1;
    for (const auto& c : centres)  // shift 0: every pixel is averaged with the centre row or column
        for (int s : {0, 1, 2, 3, 4, 6, 8}) expectBlurMatches(c[0], c[1], s, seed++, c[0], c[1], s);
}

// With shift 0 and the centre at (0, 0), pixel (1, 0) is averaged with the centre pixel.
TEST(RadialBlur, StatedMeans) {
    auto meanWithCentre = [](uint32_t centre, uint32_t pixel) {
        Frame f(kPixels, 0);
        f[0] = centre;
        f[1] = pixel;
        RadialBlur(f.data(), 0, 0, 0);
        EXPECT_EQ(f[0], centre);  // the centre is its own source
        return f[1];
    };
    EXPECT_EQ(meanWithCentre(0xFFFFFF, 0), 0x7F7F7Fu);         // white with black gives 127
    EXPECT_EQ(meanWithCentre(0x22FFFF, 0xFF22FF), 0x9090FFu);  // the two dot colours: 144, 144, 255
}

// Colour spreads outward within a single call: with shift 1 a pixel 10 away takes its colour from
// the pixel 5 away, which took it from 3 away, and so on to the white pixel next to the centre.
// Read from the frame as it was before the call, all of them would stay black.
TEST(RadialBlur, ColourSpreadsOutwardWithinOneCall) {
    Frame f(kPixels, 0);
    for (int x : {159, 160, 161}) f[5 * 320 + x] = 0xFFFFFF;
    f[6 * 320 + 160] = 0xFFFFFF;
    RadialBlur(f.data(), 160, 5, 1);
    EXPECT_NE(f[5 * 320 + 170], 0u);
    EXPECT_NE(f[5 * 320 + 150], 0u);
    EXPECT_NE(f[16 * 320 + 160], 0u);
    EXPECT_EQ(f[5 * 320 + 170], 0x0F0F0Fu);  // four halvings on the way: 255 >> 4
}

// A centre outside the frame is clamped onto its nearest edge; a negative shift counts as 0 and a
// shift beyond 31 as 31 (no pixel moves: each is its own source, only the top byte is cleared).
TEST(RadialBlur, OutOfRangeArgumentsAreClamped) {
    expectBlurMatches(-50, 5, 4, 7, 0, 5, 4);
    expectBlurMatches(400, 5, 4, 8, 319, 5, 4);
    expectBlurMatches(160, -1, 4, 9, 160, 0, 4);
    expectBlurMatches(160, 1000, 4, 10, 160, 239, 4);
    expectBlurMatches(-2147483647 - 1, 2147483647, 2, 11, 0, 239, 2);
    expectBlurMatches(160, 5, -3, 12, 160, 5, 0);
    expectBlurMatches(160, 5, 1000, 13, 160, 5, 31);
    const Frame before = noise(14);
    Frame f = before;
    RadialBlur(f.data(), 160, 5, 9);
    for (int i = 0; i < kPixels; ++i) ASSERT_EQ(f[i], before[i] & 0xFFFFFFu) << i;
}

TEST_F(RadialScene, ReferenceDotsAndCentreAtStatedTimes) {
    // The test's own reading of the description, checked against the stated positions first.
    EXPECT_EQ(blurCentreAt(70000), 263);
    EXPECT_EQ(blurCentreAt(68500), 130);
    EXPECT_EQ(dotAt(70000, 1, 0).x, 122);
    EXPECT_EQ(dotAt(70000, 1, 0).y, 35);
    EXPECT_EQ(dotAt(70000, 2, 0).x, 99);
    EXPECT_EQ(dotAt(70000, 2, 0).y, 44);
}

// Frame after frame from the black before the scene, with the feedback of each on the next,
// across the first sync window's edges (68520 and 68660 not lit, 68521 and 68659 lit).
TEST_F(RadialScene, FramesMatchTheReferenceAcrossASyncWindow) {
    Frame real(kPixels, 0), expected(kPixels, 0);
    for (int32_t t : {68500, 68517, 68520, 68521, 68538, 68600, 68659, 68660, 68661, 68700, 70000, 85299}) {
        effect7(real.data(), t);
        referenceScene(expected, t);
        const int at = firstDifference(real, expected);
        ASSERT_EQ(at, -1) << "t=" << t << ": pixel (" << at % 320 << ", " << at / 320 << ") is "
                          << std::hex << real[at] << " not " << expected[at];
    }
}

TEST_F(RadialScene, StampIsGreyInsideAWindowAndBlackOutside) {
    ASSERT_GT(stampPixels(), 0) << "the silhouette has no figure in the stamped area";
    for (int32_t t : {68521, 71400, 85279}) {
        Frame f(kPixels, 0x00404040);
        effect7(f.data(), t);
        EXPECT_EQ(stampPixelsOf(f, 0x999999), stampPixels()) << "t=" << t;
    }
    for (int32_t t : {68520, 68660, 71000, 85280, 85299}) {
        Frame f(kPixels, 0x00404040);
        effect7(f.data(), t);
        EXPECT_EQ(stampPixelsOf(f, 0), stampPixels()) << "t=" << t;
    }
}
