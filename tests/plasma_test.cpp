// The plasma-warp scenes: the blend and its thresholds over every kind of run of alphas, the window
// offsets at known times through a per-pixel reference of the whole scene, and the plain plasma's
// drift and wrap.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

#include "2d/frame.h"
#include "assets/pictures.h"
#include "effects/effects.h"
#include "effects/plasma.h"
#include "effects/tables.h"
#include "demo/demo.h"
#include "raster_reference.h"

namespace {

using Frame = std::vector<uint32_t>;

// Picture pixel p (red, green, blue, alpha) over plasma colour q, straight from the description.
uint32_t referenceOver(const uint8_t* p, uint32_t q) {
    const uint32_t a = p[3], qr = q >> 16 & 255, qg = q >> 8 & 255, qb = q & 255;
    if (a < 10) return q;
    if (a >= 240) return ref::rgb(p);
    return (a * p[0] + (255 - a) * qr) / 256 << 16 | (a * p[1] + (255 - a) * qg) / 256 << 8 |
           (a * p[2] / 256 + (255 - a) * qb / 256);
}

// A row of picture pixels over a row of plasma colours through the scene's row routine: the row
// is row 0 of a portrait, and colour x sits in a plasma table of the test's own, spread over it.
std::vector<uint32_t> overRow(const std::vector<uint8_t>& pictureRow, const std::vector<uint32_t>& colours) {
    std::vector<uint8_t> picture(kPixels * 4, 0);
    std::copy(pictureRow.begin(), pictureRow.end(), picture.begin());
    Portrait portrait;
    preparePortrait(portrait, picture.data());
    std::vector<uint32_t> plasma(256 * 256, 0);
    std::vector<uint16_t> index(320);
    for (int x = 0; x < 320; ++x) plasma[index[x] = uint16_t(x * 977 % 65536)] = colours[x];
    std::vector<uint32_t> out(320, 0xDEADBEEF);
    plasmaBehindRow(out.data(), portrait, 0, index.data(), plasma.data());
    return out;
}

// effect2 / effect12 per pixel, with the four offsets given rather than derived from t.
Frame referenceBehind(const uint8_t* picture, const uint8_t* plasma, int k1, int k2, int k3, int k4) {
    Frame f(kPixels);
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 320; ++x) {
            const int u = (ymap[(y + k4) * 512 + x + k2] + xmap[(y + k1) * 512 + x + k3]) / 2;
            const int v = (xmap[(y + k3) * 512 + x + k1] + ymap[(y + k2) * 512 + x + k4]) / 2;
            f[y * 320 + x] = referenceOver(picture + 4 * (y * 320 + x), ref::rgb(plasma + 4 * (u * 256 + v)));
        }
    return f;
}

void expectDraws(void (*effect)(uint32_t*, int32_t), int32_t t, const Frame& expected) {
    EXPECT_EQ(ref::firstDifference(ref::drawn(effect, t), expected), "") << "t=" << t;
}

}  // namespace

// Rows of random pixels whose alphas come in runs of every kind (covered, bare, either side of
// both thresholds, mixed), so that every way through the row routine meets the reference.
TEST(Plasma, BlendMatchesTheReferenceOverEveryKindOfRun) {
    // Alphas of a run: covered, bare, 240 .. 255, 0 .. 9, 8 .. 11 or any.
    const uint32_t kLowest[] = {255, 0, 240, 0, 8, 0}, kSpread[] = {1, 1, 16, 10, 4, 256};
    uint32_t seed = 5;
    auto next = [&seed] { return seed = seed * 1664525u + 1013904223u, seed >> 8; };
    for (int rowNumber = 0; rowNumber < 400; ++rowNumber) {
        std::vector<uint8_t> row(320 * 4);
        std::vector<uint32_t> colours(320);
        for (int x = 0; x < 320;) {
            const uint32_t length = 1 + next() % 9, kind = next() % 6;
            for (uint32_t k = 0; k < length && x < 320; ++k, ++x) {
                for (int c = 0; c < 3; ++c) row[4 * x + c] = uint8_t(next());
                row[4 * x + 3] = uint8_t(kLowest[kind] + next() % kSpread[kind]);
                colours[x] = next() & 0xFFFFFF;
            }
        }
        const std::vector<uint32_t> out = overRow(row, colours);
        for (int i = 0; i < 320; ++i)
            ASSERT_EQ(out[i], referenceOver(&row[4 * i], colours[i]))
                << "row " << rowNumber << " pixel " << i << " alpha " << int(row[4 * i + 3]);
    }
}

// The stated blends, each in its own pixel of one row through the row routine:
// alpha 9 is still the plasma alone and 240 the picture alone; white over white gives 254, 254, 253
// at every alpha from 10 to 239, blue being rounded down per term.
TEST(Plasma, StatedBlendsAndThresholds) {
    std::vector<std::array<uint32_t, 4>> cases = {  // picture, alpha, plasma, result
        {0xFFFFFF, 128, 0x000000, 0x7F7F7F}, {0x000000, 128, 0xFFFFFF, 0x7E7E7E},
        {0xC86432, 9, 0x123456, 0x123456},   {0xC86432, 240, 0x123456, 0xC86432}};
    for (uint32_t alpha = 10; alpha <= 239; ++alpha) cases.push_back({0xFFFFFF, alpha, 0xFFFFFF, 0xFEFEFD});
    std::vector<uint8_t> row(320 * 4, 0);
    std::vector<uint32_t> colours(320, 0);
    for (size_t x = 0; x < cases.size(); ++x) {
        for (int c = 0; c < 3; ++c) row[4 * x + c] = uint8_t(cases[x][0] >> (16 - 8 * c));
        row[4 * x + 3] = uint8_t(cases[x][1]), colours[x] = cases[x][2];
    }
    const std::vector<uint32_t> out = overRow(row, colours);
    for (size_t x = 0; x < cases.size(); ++x)
        EXPECT_EQ(out[x], cases[x][3]) << std::hex << cases[x][0] << " over " << cases[x][2] << " at alpha "
                                       << std::dec << cases[x][1];
}

// The offsets pinned at the stated times through the whole frame, the reference fed the stated
// (k1, k2, k3, k4). For t from 0 to 6 every index is 0: column 319 reads the maps' last column.
TEST(Plasma, OffsetsAtStatedTimes) {
    initDemo();
    const std::array<int, 5> cases[] = {{90000, 78, 128, 128, 192}, {85300, 186, 94, 137, 65},
                                        {0, 128, 192, 128, 192},   {6, 128, 192, 128, 192}};
    for (const auto& [t, k1, k2, k3, k4] : cases)
        expectDraws(effect2, t, referenceBehind(demogirl, plasmapic, k1, k2, k3, k4));
    expectDraws(effect12, 102250, referenceBehind(demogirl2, plasmapic2, 88, 140, 177, 138));
}

// The plain plasma moves one row every 8 ms and one column every 16 ms, both wrapping at 256, so
// t + 4096 draws the same frame as t.
TEST(Plasma, Effect9DriftsAndWraps) {
    initDemo();
    for (int32_t t : {59600, 61234, 63999, 64195}) {
        Frame expected(kPixels);
        for (int y = 0; y < 240; ++y)
            for (int x = 0; x < 320; ++x) {
                const int u = (ymap[y * 512 + x] + t / 8) % 256, v = (xmap[y * 512 + x] + t / 16) % 256;
                expected[y * 320 + x] = ref::rgb(plasmapic2 + 4 * (u * 256 + v));
            }
        expectDraws(effect9, t, expected);
        expectDraws(effect9, t + 4096, expected);
    }
}
