// The compiled-in pictures: catalogue sizes, the trailing zero byte, and the properties each
// scene relies on (opacity, grey dials, alpha and black shares, the silhouette's mask, the
// helmet's wave line, seamless plasma tiles), checked on the arrays the program actually carries.
#include <gtest/gtest.h>

#include <string>

#include "assets/pictures.h"

namespace {

// The catalogue: byte counts, sizes, and the shares of pixels (in %) with alpha 0, alpha 255,
// partial alpha, and pure black; -1 where the catalogue states none. Opaque: alpha 255 everywhere.
struct Entry {
    const char* name;
    const uint8_t* data;
    size_t bytes, catalogueBytes;
    int width, height;
    bool opaque;
    double zero, full, partial, black;
};

#define ENTRY(n, bytes, w, h, ...) {#n, n, sizeof n, bytes, w, h, __VA_ARGS__}
const Entry kCatalogue[] = {
    ENTRY(klockz, 307201, 320, 240, true, -1, -1, -1, -1),
    ENTRY(klocka1, 262145, 256, 256, false, 61, 19, 19, -1),
    ENTRY(klocka2, 136901, 185, 185, false, 49, 28, 23, -1),
    ENTRY(helmet, 307201, 320, 240, true, -1, -1, -1, -1),
    ENTRY(tarnivoisback, 307201, 320, 240, false, 74, 10, 16, -1),
    ENTRY(tall, 614401, 320, 480, true, -1, -1, -1, -1),
    ENTRY(upper, 128001, 320, 100, true, -1, -1, -1, -1),
    ENTRY(plasmapic2, 262145, 256, 256, true, -1, -1, -1, -1),
    ENTRY(silhouette, 307201, 320, 240, false, -1, -1, -1, -1),
    ENTRY(plasmapic, 262145, 256, 256, true, -1, -1, -1, -1),
    ENTRY(demogirl, 307201, 320, 240, false, 46, 44, 10, -1),
    ENTRY(demogirl2, 307201, 320, 240, false, 74, 17, 9, -1),
    ENTRY(cred_quenor, 307201, 320, 240, true, -1, -1, -1, 76),
    ENTRY(cred_velmit, 307201, 320, 240, true, -1, -1, -1, 79),
    ENTRY(cred_orsadun, 307201, 320, 240, true, -1, -1, -1, 78),
    ENTRY(cred_fembrik, 307201, 320, 240, true, -1, -1, -1, 71),
    ENTRY(cred_tessik, 307201, 320, 240, true, -1, -1, -1, 88),
};
#undef ENTRY

const uint8_t* pixel(const Entry& e, int x, int y) { return e.data + (size_t(y) * e.width + x) * 4; }

const Entry& find(const std::string& name) {
    for (const Entry& e : kCatalogue)
        if (e.name == name) return e;
    throw std::logic_error("no picture " + name);
}

// Sizes and the trailing zero; opacity and the stated shares, each to within 5 percentage points;
// the dials grey (the textured filler swaps red and blue, so only grey survives it unchanged).
TEST(PictureCatalogue, SizesOpacityAndSharesAreTheCatalogues) {
    for (const Entry& e : kCatalogue) {
        EXPECT_EQ(e.bytes, e.catalogueBytes) << e.name;
        EXPECT_EQ(e.bytes, size_t(e.width) * e.height * 4 + 1) << e.name;
        EXPECT_EQ(e.data[e.bytes - 1], 0) << e.name;
        const size_t n = size_t(e.width) * e.height;
        size_t zero = 0, full = 0, black = 0, coloured = 0;
        for (const uint8_t* p = e.data; p < e.data + 4 * n; p += 4) {
            zero += p[3] == 0;
            full += p[3] == 255;
            black += p[0] == 0 && p[1] == 0 && p[2] == 0;
            coloured += p[0] != p[1] || p[1] != p[2];
        }
        if (e.opaque) { EXPECT_EQ(full, n) << e.name << " is not opaque everywhere"; }
        const std::pair<double, size_t> shares[] = {
            {e.zero, zero}, {e.full, full}, {e.partial, n - zero - full}, {e.black, black}};
        for (const auto& [want, count] : shares)
            if (want >= 0) { EXPECT_NEAR(100.0 * count / n, want, 5.0) << e.name; }
        if (std::string(e.name).starts_with("klocka")) { EXPECT_EQ(coloured, 0u) << e.name; }
    }
}

// effect7 tests the blue byte over columns 80..259 and rows 50..239: blue != 0 and alpha 255
// exactly on the figure (7 % of the pixels), all four bytes 0 elsewhere.
TEST(PictureCatalogue, SilhouetteIsAnExactMaskInsideTheReadArea) {
    const Entry& e = find("silhouette");
    size_t on = 0;
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 320; ++x) {
            const uint8_t* p = pixel(e, x, y);
            if (p[2] != 0) {
                ASSERT_EQ(p[3], 255) << x << "," << y;
                ASSERT_TRUE(x >= 80 && x <= 259 && y >= 50) << "figure outside the read area at " << x << "," << y;
                ++on;
            } else {
                ASSERT_TRUE(p[0] == 0 && p[1] == 0 && p[3] == 0) << "stray bytes at " << x << "," << y;
            }
        }
    EXPECT_NEAR(100.0 * on / 76800.0, 7.0, 5.0);
}

// effect8 draws a live wave from (73, 109) to column 233 (rows 104..113 there): the drawn-in line
// must meet it, run unbroken in every column of both side segments, and pick up at column 234.
TEST(PictureCatalogue, HelmetWaveLineMeetsTheLiveWave) {
    const Entry& e = find("helmet");
    auto sum = [&](int x, int y) { return pixel(e, x, y)[0] + pixel(e, x, y)[1] + pixel(e, x, y)[2]; };
    auto light = [&](int x, int y, int floor) {
        const uint8_t* p = pixel(e, x, y);
        return std::min({p[0], p[1], p[2]}) >= floor;
    };
    auto brightestRow = [&](int x, int from, int to) {  // the first brightest row in column x
        int best = from;
        for (int y = from; y <= to; ++y) best = sum(x, y) > sum(x, best) ? y : best;
        return best;
    };
    EXPECT_TRUE(light(73, 109, 0xB0));
    for (auto [from, to] : {std::pair{0, 78}, std::pair{234, 319}})
        for (int x = from, last = -1; x <= to; ++x) {
            const int y = brightestRow(x, 100, 122);
            EXPECT_TRUE(light(x, y, 0xA0)) << "no line in column " << x;
            if (last >= 0) { EXPECT_LE(std::abs(y - last), 2) << "line breaks at column " << x; }
            last = y;
        }
    EXPECT_GE(brightestRow(234, 100, 116), 104);
    EXPECT_LE(brightestRow(234, 100, 116), 113);
    EXPECT_LT(sum(40, 99), 200) << "the visor is dark above the line";
    EXPECT_LT(sum(280, 125), 200) << "and below it";
}

// The warp maps wrap at 256 both ways: the step from the last column to the first (and last row
// to first) must be no stronger than the steps between neighbours inside the picture.
TEST(PictureCatalogue, PlasmaTexturesTileSeamlessly) {
    for (const char* name : {"plasmapic", "plasmapic2"}) {
        const Entry& e = find(name);
        auto diff = [&](int x0, int y0, int x1, int y1) {
            const uint8_t *a = pixel(e, x0, y0), *b = pixel(e, x1, y1);
            return std::abs(a[0] - b[0]) + std::abs(a[1] - b[1]) + std::abs(a[2] - b[2]);
        };
        // Steps right and down, wrapping at 256: sum[0] and most[0] inside, sum[1] and sum[2] the seams
        // at column 255 and row 255, most[1] the strongest seam step.
        double sum[3] = {};
        int most[2] = {};
        for (int a = 0; a < 256; ++a)
            for (int b = 0; b < 256; ++b) {
                const int right = diff(b, a, (b + 1) % 256, a), down = diff(a, b, a, (b + 1) % 256);
                const bool seam = b == 255;
                sum[seam ? 1 : 0] += right, sum[seam ? 2 : 0] += down;
                most[seam] = std::max({most[seam], right, down});
            }
        const double inside = sum[0] / (2 * 256.0 * 255.0);
        EXPECT_LE(sum[1] / 256.0, 1.5 * inside + 1.0) << name;
        EXPECT_LE(sum[2] / 256.0, 1.5 * inside + 1.0) << name;
        EXPECT_LE(most[1], most[0]) << name;
    }
}

}  // namespace
