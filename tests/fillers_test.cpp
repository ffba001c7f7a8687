// The triangle fillers and their spans against the slow reference of raster_reference.h, over
// every shape the edge table meets, and the texel blend over all alpha values.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "raster_reference.h"

using ref::at;

constexpr Fixed kOne = 1 << 16;
constexpr int kTexSize = 64;
using Row = std::vector<uint32_t>;

struct Fillers : ::testing::Test {
    std::mt19937 random{10};
    std::vector<uint8_t> texels = std::vector<uint8_t>(kTexSize * kTexSize * 4);
    Texture texture{texels.data(), kTexSize, kTexSize};
    std::vector<uint32_t> frame = std::vector<uint32_t>(ref::kW * ref::kH);

    void SetUp() override {
        for (auto& byte : texels) byte = uint8_t(random());
        for (auto& p : frame) p = random() & 0xFFFFFF;
    }

    // Draws with both real fillers over the current frame, the vertices in all six orders (the order
    // of the edges decides single-row rows), and compares every pixel with the reference.
    void expectAllOrders(Coordinate a, Coordinate b, Coordinate c, const char* what) {
        const Coordinate p[3] = {a, b, c};
        int o[3] = {0, 1, 2};
        do {
            const Coordinate tri[3] = {p[o[0]], p[o[1]], p[o[2]]};
            Row want = frame;
            ref::triangle(want, &texture, 0, tri);
            mobDrawTriangle(frame.data(), &texture, tri[0], tri[1], tri[2]);
            EXPECT_EQ(ref::firstDifference(frame, want), "") << what << ", textured, order " << o[0] << o[1] << o[2];
            const uint32_t colour = random() | 1;
            ref::triangle(want, nullptr, colour, tri);
            mobDrawFlatTriangle(frame.data(), colour, tri[0], tri[1], tri[2]);
            EXPECT_EQ(ref::firstDifference(frame, want), "") << what << ", flat, order " << o[0] << o[1] << o[2];
        } while (std::next_permutation(o, o + 3));
    }

    // One span over a row filled with `fill`: the columns from one left of its left end to one right
    // of its right end.
    Row span(const Texture& t, Coordinate l, Coordinate r, uint32_t fill = 0) {
        std::fill(frame.begin(), frame.begin() + 320, fill);
        mobRenderLine(frame.data(), 0, &t, l, r);
        return Row(&frame[(l.x >> 16) - 1], &frame[(r.x >> 16) + 2]);
    }

    // A vertex on a whole row, as every caller supplies, with edges shorter than 256 columns.
    Coordinate vertex(int rowLo, int rowHi) {
        const auto from = [&](int lo, int range) { return lo * kOne + Fixed(random() % uint32_t(range * kOne)); };
        const int row = rowLo + int(random() % (rowHi - rowLo + 1));
        return {from(32, 255), row * kOne, from(0, kTexSize), from(0, kTexSize)};
    }

};

TEST_F(Fillers, EveryShapeOfTheEdgeTableMatchesTheReference) {
    for (int n = 0; n < 30; ++n) expectAllOrders(vertex(0, 239), vertex(0, 239), vertex(0, 239), "random");
    for (int n = 0; n < 6; ++n) {
        Coordinate a = vertex(20, 200), b = vertex(20, 200), c = vertex(20, 200);
        b.y = a.y;
        expectAllOrders(a, b, c, "flat top or bottom");
        c.y = a.y;
        expectAllOrders(a, b, c, "all on one row");
        a = vertex(0, 100), b = vertex(101, 239), c = b;
        c.x += Fixed(random() % kOne);  // less than one column apart: some rows cover two columns
        c.u = vertex(0, 0).u;
        expectAllOrders(a, b, c, "sliver");
        b = a, c = a;
        b.y += kOne * int(random() % 3);
        b.x = a.x + Fixed(random() % 2000);
        expectAllOrders(a, b, c, "nearly a point");
    }
    // A row's three ends 10, 100 and 50: the last edge, C->A, decides the span 10..50.
    expectAllOrders(at(10, 50, 1, 1), at(100, 50, 20, 1), at(50, 50, 9, 1), "one row");
    expectAllOrders(at(0, 0, 0, 0), at(0, 239, 0, 63), at(255, 120, 63, 30), "left edge");
    expectAllOrders(at(319.99, 0, 63, 0), at(64, 239, 0, 63), at(319.99, 239, 63, 63), "right edge");
    expectAllOrders(at(0, 0, 0, 0), at(0, 0.5, 0, 0), at(0, 239, 1, 63), "column 0 only");
    // A quad split along its diagonal: both halves draw the diagonal, so it is blended twice.
    std::fill(texels.begin(), texels.end(), 0x80);
    expectAllOrders(at(60, 30, 0, 0), at(180, 50, 63, 0), at(40, 150, 0, 63), "first half");
    expectAllOrders(at(180, 50, 63, 0), at(40, 150, 0, 63), at(170, 170, 63, 63), "second half");
}

TEST_F(Fillers, SpanStepsEndsAndTexelsOutsideTheTexture) {
    // Texel i of a one-row strip is opaque with red byte i + 1, so it shows as i in the blue channel.
    std::vector<uint8_t> strip(64 * 4, 0);
    for (int i = 0; i < 64; ++i) strip[4 * i] = uint8_t(i + 1), strip[4 * i + 3] = 255;
    const Texture tex = {strip.data(), 64, 1}, square = {strip.data(), 8, 8};
    constexpr uint32_t kWhite = 0xFFFFFFFF;
    EXPECT_EQ(span(tex, at(10, 0, 5, 0), at(20, 0, 25, 0)), (Row{0, 5, 7, 9, 11, 13, 15, 17, 19, 21, 23, 25, 0}));
    EXPECT_EQ(span(tex, at(30.2, 0, 7, 0), at(30.9, 0, 40, 0)), (Row{0, 7, 0}));  // one pixel: the left end's texel
    EXPECT_EQ(span(tex, at(40.75, 0, 3, 0), at(41.25, 0, 50, 0)), (Row{0, 3, 50, 0}));  // under 1.0, over two columns
    EXPECT_EQ(span(tex, at(60, 0, 3, 0), at(59, 0, 50, 0)), (Row{0, 0}));  // left end past the right: nothing
    EXPECT_EQ(span(square, at(1, 0, -2, 0), at(4, 0, 1, 0)), (Row{0, kWhite, kWhite, 0, 1, 0}));  // negative index
    EXPECT_EQ(span(square, at(1, 0, 6, 7), at(3, 0, 8, 7)), (Row{0, 62, 63, kWhite, 0}));  // index width * height
    EXPECT_EQ(span(square, at(1, 0, 8, 5), at(1, 0, 8, 5)), (Row{0, 48, 0}));  // a column past the width: next row
}

TEST_F(Fillers, BlendOverEveryAlphaMatchesTheFormulas) {
    // Stated results over white: opaque white, transparent, half-transparent white.
    const uint8_t white[12] = {255, 255, 255, 255, 255, 255, 255, 0, 255, 255, 255, 128};
    const Texture three = {white, 3, 1};
    EXPECT_EQ(span(three, at(1, 0, 0, 0), at(3, 0, 2, 0), 0xFFFFFF),
              (Row{0xFFFFFF, 0xFEFEFE, 0xFEFEFE, 0xFEFEFD, 0xFFFFFF}));
    // A 256-texel strip with alpha 0..255, one texel per column, over a frame row with its top byte set.
    std::vector<uint8_t> strip(256 * 4);
    const Texture tex = {strip.data(), 256, 1};
    for (int t = 0; t < 256; t += 3) {
        for (int a = 0; a < 256; ++a)  // picture bytes red, green, blue, alpha
            strip[4 * a] = t, strip[4 * a + 1] = 255 - t, strip[4 * a + 2] = t ^ 0xA5, strip[4 * a + 3] = a;
        for (int f = 0; f < 256; f += 5) {
            const uint32_t background = 0xFF000000u | f << 16 | (f * 7 & 0xFF) << 8 | (255 - f);
            const Row got = span(tex, at(1, 0, 0, 0), at(256, 0, 255, 0), background);
            for (int a = 0; a < 256; ++a)
                ASSERT_EQ(got[a + 1], ref::blend(&strip[4 * a], background))
                    << "alpha " << a << " texel bytes " << t << "," << 255 - t << "," << (t ^ 0xA5) << " over 0x"
                    << std::hex << background;
        }
    }
}
