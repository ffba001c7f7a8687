// The compiled-in pictures: catalogue sizes, the trailing zero byte, and the properties each
// scene relies on (opacity, grey dials, alpha and black shares, the silhouette's mask, the
// helmet's wave line, seamless plasma tiles), checked on the arrays the program actually carries.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "assets/pictures.h"
#include "png_io.h"

namespace {

struct Entry {
    const char* name;
    const uint8_t* data;
    size_t bytes;  // sizeof the array, trailing zero included
    int width, height;
    bool opaque;
};

#define ENTRY(n, w, h, o) {#n, n, sizeof n, w, h, o}
const Entry kCatalogue[] = {
    ENTRY(klockz, 320, 240, true),        ENTRY(klocka1, 256, 256, false),
    ENTRY(klocka2, 185, 185, false),      ENTRY(helmet, 320, 240, true),
    ENTRY(tarnivoisback, 320, 240, false), ENTRY(tall, 320, 480, true),
    ENTRY(upper, 320, 100, true),         ENTRY(plasmapic2, 256, 256, true),
    ENTRY(silhouette, 320, 240, false),   ENTRY(plasmapic, 256, 256, true),
    ENTRY(demogirl, 320, 240, false),     ENTRY(demogirl2, 320, 240, false),
    ENTRY(cred_quenor, 320, 240, true),   ENTRY(cred_velmit, 320, 240, true),
    ENTRY(cred_orsadun, 320, 240, true),  ENTRY(cred_fembrik, 320, 240, true),
    ENTRY(cred_tessik, 320, 240, true),
};
#undef ENTRY

const uint8_t* pixel(const Entry& e, int x, int y) { return e.data + (static_cast<size_t>(y) * e.width + x) * 4; }

struct Shares {
    double zero, full, partial, black;
};

Shares measure(const Entry& e) {
    size_t zero = 0, full = 0, black = 0;
    const size_t n = static_cast<size_t>(e.width) * e.height;
    for (size_t i = 0; i < n; ++i) {
        const uint8_t* p = e.data + 4 * i;
        zero += p[3] == 0;
        full += p[3] == 255;
        black += p[0] == 0 && p[1] == 0 && p[2] == 0;
    }
    const double d = static_cast<double>(n) / 100.0;
    return {zero / d, full / d, (n - zero - full) / d, black / d};
}

const Entry& find(const char* name) {
    for (const Entry& e : kCatalogue)
        if (std::string(e.name) == name) return e;
    static const Entry none{};
    ADD_FAILURE() << "no picture " << name;
    return none;
}

TEST(PictureCatalogue, SizesAndByteCountsAreTheCatalogues) {
    const size_t expected[] = {307201, 262145, 136901, 307201, 307201, 614401, 128001, 262145, 307201,
                               262145, 307201, 307201, 307201, 307201, 307201, 307201, 307201};
    for (size_t i = 0; i < std::size(kCatalogue); ++i) {
        const Entry& e = kCatalogue[i];
        EXPECT_EQ(e.bytes, expected[i]) << e.name;
        EXPECT_EQ(e.bytes, static_cast<size_t>(e.width) * e.height * 4 + 1) << e.name;
    }
}

TEST(PictureCatalogue, EveryPictureEndsWithAZeroByte) {
    for (const Entry& e : kCatalogue) EXPECT_EQ(e.data[e.bytes - 1], 0) << e.name;
}

TEST(PictureCatalogue, OpaquePicturesHaveAlpha255Everywhere) {
    for (const Entry& e : kCatalogue) {
        if (!e.opaque) continue;
        const size_t n = static_cast<size_t>(e.width) * e.height;
        size_t notOpaque = 0;
        for (size_t i = 0; i < n; ++i) notOpaque += e.data[4 * i + 3] != 255;
        EXPECT_EQ(notOpaque, 0u) << e.name;
    }
}

// The shares the catalogue states, each to within 5 percentage points.
TEST(PictureCatalogue, AlphaSharesMatchTheCatalogue) {
    struct Want {
        const char* name;
        double zero, full, partial;
    };
    const Want wants[] = {{"klocka1", 61, 19, 19},       {"klocka2", 49, 28, 23},
                          {"tarnivoisback", 74, 10, 16}, {"demogirl", 46, 44, 10},
                          {"demogirl2", 74, 17, 9}};
    for (const Want& w : wants) {
        const Shares s = measure(find(w.name));
        EXPECT_NEAR(s.zero, w.zero, 5.0) << w.name;
        EXPECT_NEAR(s.full, w.full, 5.0) << w.name;
        EXPECT_NEAR(s.partial, w.partial, 5.0) << w.name;
    }
}

TEST(PictureCatalogue, CreditPagesHaveTheCataloguedShareOfPureBlack) {
    const std::pair<const char*, double> wants[] = {{"cred_quenor", 76}, {"cred_velmit", 79},
                                                    {"cred_orsadun", 78}, {"cred_fembrik", 71},
                                                    {"cred_tessik", 88}};
    for (const auto& [name, black] : wants) EXPECT_NEAR(measure(find(name)).black, black, 5.0) << name;
}

// The credit pages flash over other scenes: the name must be there, not just black and glow.
TEST(PictureCatalogue, CreditPagesCarryBrightLettering) {
    for (const char* name : {"cred_quenor", "cred_velmit", "cred_orsadun", "cred_fembrik", "cred_tessik"}) {
        const Entry& e = find(name);
        size_t bright = 0;
        for (size_t i = 0; i < static_cast<size_t>(e.width) * e.height; ++i)
            bright += e.data[4 * i] > 200 && e.data[4 * i + 1] > 200 && e.data[4 * i + 2] > 200;
        EXPECT_GT(bright, 700u) << name;
    }
}

// The textured filler swaps red and blue, so only grey survives it unchanged.
TEST(PictureCatalogue, DialsAreGrey) {
    for (const char* name : {"klocka1", "klocka2"}) {
        const Entry& e = find(name);
        size_t coloured = 0;
        for (size_t i = 0; i < static_cast<size_t>(e.width) * e.height; ++i) {
            const uint8_t* p = e.data + 4 * i;
            coloured += p[0] != p[1] || p[1] != p[2];
        }
        EXPECT_EQ(coloured, 0u) << name;
    }
}

// The scene samples texels 5..hi of each dial: the face must sit inside, opaque at the centre,
// transparent at the corners, with the transparency ramping (anti-aliased) rather than stepping.
TEST(PictureCatalogue, DialsAreRoundFacesInsideTheirSampledSquare) {
    const std::pair<const char*, int> dials[] = {{"klocka1", 250}, {"klocka2", 180}};
    for (const auto& [name, hi] : dials) {
        const Entry& e = find(name);
        const int c = e.width / 2;
        EXPECT_EQ(pixel(e, c, c)[3], 255) << name;
        for (int y = 0; y < e.height; ++y)
            for (int x = 0; x < e.width; ++x)
                if (x < 5 || y < 5 || x > hi || y > hi) {
                    ASSERT_EQ(pixel(e, x, y)[3], 0) << name << " " << x << "," << y;
                }
        int steps = 0;  // alpha values met walking from the centre to the right edge
        for (int x = c, last = 255; x < e.width; ++x) {
            const int a = pixel(e, x, c)[3];
            steps += a != last;
            last = a;
        }
        EXPECT_GT(steps, 8) << name << ": the edge should fade over several texels";
    }
}

// effect7 tests the blue byte over columns 80..259 and rows 50..239: blue != 0 and alpha 255
// exactly on the figure, all four bytes 0 elsewhere, the figure inside the read area and
// standing on the bottom edge.
TEST(PictureCatalogue, SilhouetteIsAnExactMaskInsideTheReadArea) {
    const Entry& e = find("silhouette");
    size_t on = 0, bottom = 0;
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 320; ++x) {
            const uint8_t* p = pixel(e, x, y);
            if (p[2] != 0) {
                ASSERT_EQ(p[3], 255) << x << "," << y;
                ASSERT_TRUE(x >= 80 && x <= 259 && y >= 50) << "figure outside the read area at " << x << "," << y;
                ++on;
                bottom += y == 239;
            } else {
                ASSERT_TRUE(p[0] == 0 && p[1] == 0 && p[3] == 0) << "stray bytes at " << x << "," << y;
            }
        }
    EXPECT_NEAR(100.0 * on / 76800.0, 7.0, 5.0);
    EXPECT_GT(bottom, 20u) << "the figure should rise from the bottom edge";
}

// Brightest row near `row` in column x, searching rows row-r .. row+r.
int brightestRow(const Entry& e, int x, int row, int r) {
    int best = -1, bestValue = -1;
    for (int y = row - r; y <= row + r; ++y) {
        const uint8_t* p = pixel(e, x, y);
        const int v = p[0] + p[1] + p[2];
        if (v > bestValue) bestValue = v, best = y;
    }
    return best;
}

// effect8 draws a live wave in 0xCCCCCC from (73, 109) to column 233 (rows 104..113 there): the
// drawn-in line must meet it on both sides and run on unbroken to the picture's edges.
TEST(PictureCatalogue, HelmetWaveLineMeetsTheLiveWave) {
    const Entry& e = find("helmet");
    const uint8_t* meet = pixel(e, 73, 109);
    EXPECT_GE(meet[0], 0xB0);
    EXPECT_GE(meet[1], 0xB0);
    EXPECT_GE(meet[2], 0xB0);
    auto lightAt = [&](int x, int y) {
        const uint8_t* p = pixel(e, x, y);
        return p[0] >= 0xA0 && p[1] >= 0xA0 && p[2] >= 0xA0;
    };
    // both side segments: a light line pixel in every column, rows 100..122, moving smoothly
    for (auto [from, to] : {std::pair{0, 78}, std::pair{234, 319}}) {
        int last = -1;
        for (int x = from; x <= to; ++x) {
            const int y = brightestRow(e, x, 111, 11);
            EXPECT_TRUE(lightAt(x, y)) << "no line in column " << x;
            if (last >= 0) {
                EXPECT_LE(std::abs(y - last), 2) << "line breaks at column " << x;
            }
            last = y;
        }
    }
    // the right part picks up where the live wave's right end can be (rows 104..113 at 233)
    const int right = brightestRow(e, 234, 108, 8);
    EXPECT_GE(right, 104);
    EXPECT_LE(right, 113);
    // and the line is not just a light band: above and below it the visor is dark
    EXPECT_LT(pixel(e, 40, 99)[0] + pixel(e, 40, 99)[1] + pixel(e, 40, 99)[2], 200);
    EXPECT_LT(pixel(e, 280, 125)[0] + pixel(e, 280, 125)[1] + pixel(e, 280, 125)[2], 200);
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
        double inside = 0, seamX = 0, seamY = 0;
        int insideMax = 0, seamMax = 0;
        for (int y = 0; y < 256; ++y)
            for (int x = 0; x < 255; ++x) {
                const int d = diff(x, y, x + 1, y) + diff(y, x, y, x + 1);
                inside += d / 2.0;
                insideMax = std::max(insideMax, std::max(diff(x, y, x + 1, y), diff(y, x, y, x + 1)));
            }
        inside /= 256.0 * 255.0;
        for (int i = 0; i < 256; ++i) {
            seamX += diff(255, i, 0, i);
            seamY += diff(i, 255, i, 0);
            seamMax = std::max(seamMax, std::max(diff(255, i, 0, i), diff(i, 255, i, 0)));
        }
        EXPECT_LE(seamX / 256.0, 1.5 * inside + 1.0) << name;
        EXPECT_LE(seamY / 256.0, 1.5 * inside + 1.0) << name;
        EXPECT_LE(seamMax, insideMax) << name;
    }
}

// The terrain scene fills only still-black pixels with the sky: a black sky pixel would show
// as a hole, and the sky is meant to be blue.
TEST(PictureCatalogue, SkyIsBlueAndNeverBlack) {
    const Entry& e = find("upper");
    long red = 0, blue = 0;
    for (int i = 0; i < 320 * 100; ++i) {
        const uint8_t* p = e.data + 4 * i;
        ASSERT_FALSE(p[0] == 0 && p[1] == 0 && p[2] == 0) << "black sky pixel " << i;
        red += p[0];
        blue += p[2];
    }
    EXPECT_GT(blue, 2 * red);
}

// The logo must leave the turning cube's reach (within about 40 pixels of (90, 180)) clear.
TEST(PictureCatalogue, LogoKeepsClearOfTheCube) {
    const Entry& e = find("tarnivoisback");
    for (int y = 140; y <= 220; ++y)
        for (int x = 50; x <= 130; ++x)
            if ((x - 90) * (x - 90) + (y - 180) * (y - 180) <= 40 * 40) {
                ASSERT_LE(pixel(e, x, y)[3], 10) << x << "," << y;
            }
}

// The arrays are the committed PNGs, byte for byte: the build converts what the painter made.
TEST(PictureCatalogue, ArraysAreTheCommittedPngs) {
    for (const Entry& e : kCatalogue) {
        RgbaImage image;
        std::string error;
        ASSERT_TRUE(readPng(std::string(SHOW_PICTURE_DIR) + "/" + e.name + ".png", image, error)) << error;
        ASSERT_EQ(image.width, e.width) << e.name;
        ASSERT_EQ(image.height, e.height) << e.name;
        EXPECT_EQ(0, std::memcmp(image.rgba.data(), e.data, image.rgba.size())) << e.name;
    }
}

}  // namespace
