// The triangle fillers and their spans against the slow reference of raster_reference.h, over
// every shape the edge table meets, and the texel blend over all alpha values.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <sstream>
#include <vector>

#include "mobilePolygon/mobilePolygon.h"
#include "raster_reference.h"

namespace {

constexpr Fixed kOne = 1 << 16;
constexpr int kTexSize = 64;

Coordinate at(double x, double y, double u = 0, double v = 0) {
    return {Fixed(x * kOne), Fixed(y * kOne), Fixed(u * kOne), Fixed(v * kOne)};
}

struct Fillers : ::testing::Test {
    std::mt19937 random{10};
    std::vector<uint8_t> texels;
    Texture texture{};
    std::vector<uint32_t> frame;

    void SetUp() override {
        texels.resize(kTexSize * kTexSize * 4 + 1);
        for (auto& byte : texels) byte = uint8_t(random());
        texels.back() = 0;
        texture = {texels.data(), kTexSize, kTexSize};
        frame.resize(ref::kW * ref::kH);
        for (auto& p : frame) p = random() & 0xFFFFFF;
    }

    // Draws with the real filler and with the reference, and compares every pixel.
    void expectTextured(const Coordinate (&tri)[3], const char* what) {
        std::vector<uint32_t> want = frame;
        ref::texturedTriangle(want, texture, tri);
        mobDrawTriangle(frame.data(), &texture, tri[0], tri[1], tri[2]);
        expectFrame(want, tri, what);
    }

    void expectFlat(const Coordinate (&tri)[3], const char* what) {
        const uint32_t colour = random() | 1;
        std::vector<uint32_t> want = frame;
        ref::flatTriangle(want, colour, tri);
        mobDrawFlatTriangle(frame.data(), colour, tri[0], tri[1], tri[2]);
        expectFrame(want, tri, what);
    }

    void expectFrame(const std::vector<uint32_t>& want, const Coordinate (&tri)[3], const char* what) {
        for (int i = 0; i < ref::kW * ref::kH; ++i)
            if (frame[i] != want[i]) {
                ADD_FAILURE() << what << ": pixel (" << i % ref::kW << ", " << i / ref::kW << ") is 0x"
                              << std::hex << frame[i] << ", want 0x" << want[i] << std::dec << "; triangle "
                              << describe(tri);
                return;
            }
    }

    static std::string describe(const Coordinate (&tri)[3]) {
        std::ostringstream text;
        for (const Coordinate& c : tri)
            text << "(" << c.x / 65536.0 << ", " << c.y / 65536.0 << " | " << c.u / 65536.0 << ", "
                 << c.v / 65536.0 << ") ";
        return text.str();
    }

    // A random fixed-point value in [lo, hi).
    Fixed between(double lo, double hi) { return Fixed(lo * kOne) + Fixed(random() % uint32_t((hi - lo) * kOne)); }

    // A vertex on a whole row, as every caller supplies, with edges shorter than 256 columns.
    Coordinate vertex(int rowLo, int rowHi) {
        return {between(32, 287), int(rowLo + random() % uint32_t(rowHi - rowLo + 1)) * kOne,
                between(0, kTexSize), between(0, kTexSize)};
    }

    // Both fillers, all six vertex orders: the order of the edges decides single-row rows.
    void expectAllOrders(Coordinate a, Coordinate b, Coordinate c, const char* what) {
        Coordinate tri[3] = {a, b, c};
        std::sort(tri, tri + 3, [](const Coordinate& p, const Coordinate& q) {
            return std::tie(p.x, p.y) < std::tie(q.x, q.y);
        });
        do {
            const Coordinate t[3] = {tri[0], tri[1], tri[2]};
            expectTextured(t, what);
            expectFlat(t, what);
        } while (std::next_permutation(tri, tri + 3, [](const Coordinate& p, const Coordinate& q) {
            return std::tie(p.x, p.y) < std::tie(q.x, q.y);
        }));
    }
};

}  // namespace

TEST_F(Fillers, RandomTrianglesMatchTheReference) {
    for (int n = 0; n < 60; ++n) {
        const Coordinate tri[3] = {vertex(0, 239), vertex(0, 239), vertex(0, 239)};
        expectTextured(tri, "random");
        expectFlat(tri, "random");
    }
}

TEST_F(Fillers, FlatTopsFlatBottomsAndOneRow) {
    for (int n = 0; n < 6; ++n) {
        Coordinate a = vertex(20, 200), b = vertex(20, 200), c = vertex(20, 200);
        b.y = a.y;
        expectAllOrders(a, b, c, "flat top or bottom");
        c.y = a.y;
        expectAllOrders(a, b, c, "all on one row");
    }
    // A row's three ends 10, 100 and 50: the last edge, C->A, decides the span 10..50.
    const Coordinate a = at(10, 50, 1, 1), b = at(100, 50, 20, 1), c = at(50, 50, 9, 1);
    const Coordinate tri[3] = {a, b, c};
    expectTextured(tri, "one row");
    std::vector<uint32_t> before = frame;
    mobDrawFlatTriangle(frame.data(), 0xABCDEF, a, b, c);
    for (int x = 0; x < 320; ++x)
        EXPECT_EQ(frame[50 * 320 + x], x >= 10 && x <= 50 ? 0xABCDEFu : before[50 * 320 + x]) << x;
}

TEST_F(Fillers, ThinSliversAndPoints) {
    for (int n = 0; n < 6; ++n) {
        const Coordinate a = vertex(0, 100);
        Coordinate b = vertex(101, 239), c = b;
        c.x += Fixed(random() % kOne);  // less than one column apart: some rows cover two columns
        c.u = between(0, kTexSize);
        expectAllOrders(a, b, c, "sliver");
        b = a, c = a;
        b.y += kOne * int(random() % 3);
        b.x = a.x + Fixed(random() % 2000);
        expectAllOrders(a, b, c, "nearly a point");
    }
}

TEST_F(Fillers, ScreenEdgesAndTallTriangles) {
    expectAllOrders(at(0, 0, 0, 0), at(0, 239, 0, 63), at(255, 120, 63, 30), "left edge");
    expectAllOrders(at(319.99, 0, 63, 0), at(64, 239, 0, 63), at(319.99, 239, 63, 63), "right edge");
    expectAllOrders(at(0, 0, 0, 0), at(0, 0.5, 0, 0), at(0, 239, 1, 63), "column 0 only");
}

TEST_F(Fillers, SharedEdgesAreDrawnByBothTriangles) {
    // A quad split along its diagonal: each triangle draws the diagonal, blended twice.
    for (auto& byte : texels) byte = 0x80;  // half-transparent grey
    const Coordinate q1 = at(60, 30, 0, 0), q2 = at(180, 50, 63, 0), q3 = at(40, 150, 0, 63),
                     q4 = at(170, 170, 63, 63);
    const Coordinate first[3] = {q1, q2, q3}, second[3] = {q2, q3, q4};
    for (auto& p : frame) p = 0;
    expectTextured(first, "first half");
    const std::vector<uint32_t> once = frame;
    expectTextured(second, "second half");
    // On the diagonal, row 100, the second triangle blends over the first.
    const EdgeInfo& diagonal = gEdgeInfo[100];
    const int x = diagonal.left >> 16;
    EXPECT_NE(once[100 * 320 + x], 0u);
    EXPECT_GT(frame[100 * 320 + x] & 0xFF, once[100 * 320 + x] & 0xFF);  // more opaque
    const Coordinate flat1[3] = {q1, q2, q3}, flat2[3] = {q4, q3, q2};
    expectFlat(flat1, "flat first half");
    expectFlat(flat2, "flat second half");
}

TEST_F(Fillers, SpanStepsAndEnds) {
    // 10.0 .. 20.0 with u 5.0 .. 25.0: u = 5, 7, ..., 25 in columns 10 to 20.
    std::vector<uint8_t> strip(64 * 4 + 1, 0);
    for (int i = 0; i < 64; ++i) strip[4 * i] = uint8_t(i + 1), strip[4 * i + 3] = 255;
    const Texture tex = {strip.data(), 64, 1};
    std::fill(frame.begin(), frame.end(), 0u);
    mobRenderLine(frame.data(), 320, &tex, at(10, 0, 5, 0), at(20, 0, 25, 0));
    for (int x = 10; x <= 20; ++x) EXPECT_EQ(frame[320 + x], uint32_t(5 + 2 * (x - 10))) << x;  // opaque: t + 1 - 1
    EXPECT_EQ(frame[320 + 9], 0u);
    EXPECT_EQ(frame[320 + 21], 0u);
    // One pixel: the left end's texel.
    mobRenderLine(frame.data(), 640, &tex, at(30.2, 0, 7, 0), at(30.9, 0, 40, 0));
    EXPECT_EQ(frame[640 + 30], 7u);
    EXPECT_EQ(frame[640 + 31], 0u);
    // Narrower than 1.0 but over two columns: the first pixel takes the left end, the second the right.
    mobRenderLine(frame.data(), 960, &tex, at(40.75, 0, 3, 0), at(41.25, 0, 50, 0));
    EXPECT_EQ(frame[960 + 40], 3u);
    EXPECT_EQ(frame[960 + 41], 50u);
    // Left beyond right: nothing.
    mobRenderLine(frame.data(), 1280, &tex, at(60, 0, 3, 0), at(59, 0, 50, 0));
    for (int x = 0; x < 320; ++x) EXPECT_EQ(frame[1280 + x], 0u);
}

TEST_F(Fillers, IndexOutsideTheTextureGivesAWhitePixelAndDrawingGoesOn) {
    std::fill(frame.begin(), frame.end(), 0u);
    // u runs -2, -1, 0, 1: the first two indices are negative.
    mobRenderLine(frame.data(), 0, &texture, at(0, 0, -2, 0), at(3, 0, 1, 0));
    EXPECT_EQ(frame[0], 0xFFFFFFFFu);
    EXPECT_EQ(frame[1], 0xFFFFFFFFu);
    EXPECT_EQ(frame[2], ref::blend(&texels[0], 0));
    // Index exactly width * height is outside; one below it is the last texel.
    const int last = kTexSize * kTexSize - 1;
    mobRenderLine(frame.data(), 320, &texture, at(0, 0, 62, 63), at(2, 0, 64, 63));
    EXPECT_EQ(frame[320 + 0], ref::blend(&texels[4 * (last - 1)], 0));
    EXPECT_EQ(frame[320 + 1], ref::blend(&texels[4 * last], 0));
    EXPECT_EQ(frame[320 + 2], 0xFFFFFFFFu);
    // A column past the width reads the next texture row.
    mobRenderLine(frame.data(), 640, &texture, at(0, 0, 64, 5), at(0, 0, 64, 5));
    EXPECT_EQ(frame[640], ref::blend(&texels[4 * (6 * kTexSize)], 0));
}

TEST_F(Fillers, BlendOverEveryAlphaMatchesTheFormulas) {
    // A 256-texel strip with alpha 0..255, drawn one texel per column over a known frame row.
    std::vector<uint8_t> strip(256 * 4 + 1, 0);
    const Texture tex = {strip.data(), 256, 1};
    for (int t = 0; t < 256; t += 3) {
        for (int a = 0; a < 256; ++a) {
            strip[4 * a + 0] = uint8_t(t);        // picture red -> frame's blue channel
            strip[4 * a + 1] = uint8_t(255 - t);  // green
            strip[4 * a + 2] = uint8_t(t ^ 0xA5); // picture blue -> frame's red channel
            strip[4 * a + 3] = uint8_t(a);
        }
        for (int f = 0; f < 256; f += 5) {
            const uint32_t fr = f, fg = (f * 7) & 0xFF, fb = 255 - f;
            const uint32_t background = 0xFF000000u | (fr << 16) | (fg << 8) | fb;  // top byte set
            std::fill(frame.begin(), frame.begin() + 320, background);
            mobRenderLine(frame.data(), 0, &tex, at(0, 0, 0, 0), at(255, 0, 255, 0));
            for (int a = 0; a < 256; ++a) {
                const uint32_t b = 255 - a;
                const uint32_t red = (a * uint32_t(t ^ 0xA5) + b * fr) >> 8;
                const uint32_t green = (a * uint32_t(255 - t) + b * fg) >> 8;
                const uint32_t blue = ((a * uint32_t(t)) >> 8) + ((b * fb) >> 8);
                ASSERT_EQ(frame[a], (red << 16) | (green << 8) | blue)
                    << "alpha " << a << " texel bytes " << t << "," << 255 - t << "," << (t ^ 0xA5)
                    << " over 0x" << std::hex << background;
            }
        }
    }
}

