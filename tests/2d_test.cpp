// The 2D primitives: pixel, bar, line and masked copy, each against values worked out by hand or a
// slow reference written here from the description of the routine.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <set>
#include <utility>
#include <vector>

#include "2d/2d.h"
#include "2d/frame.h"

namespace {

constexpr uint32_t kMarker = 0x12345678;  // no test draws this word

using Frame = std::vector<uint32_t>;
using Points = std::set<std::pair<int, int>>;  // (x, y)

// Every pixel that differs from the fill.
Points changed(const Frame& f, uint32_t fill) {
    Points points;
    for (int i = 0; i < kPixels; ++i)
        if (f[i] != fill) points.emplace(i % kWidth, i / kWidth);
    return points;
}

// The line in closed form: the k-th pixel along the major axis moves the minor axis once for every
// whole major length that (half the major length + k * minor length) holds.
Points referenceLine(int x0, int y0, int x1, int y1) {
    const int sx = (x1 > x0) - (x1 < x0), sy = (y1 > y0) - (y1 < y0);
    const int ax = std::abs(x1 - x0), ay = std::abs(y1 - y0);
    Points points;
    for (int k = 0; k <= std::max(ax, ay); ++k) {
        if (ax >= ay) points.emplace(x0 + k * sx, y0 + sy * (ax == 0 ? 0 : ((ax >> 1) + k * ay) / ax));
        else points.emplace(x0 + sx * (((ay >> 1) + k * ax) / ay), y0 + k * sy);
    }
    return points;
}

Points drawLine(int x0, int y0, int x1, int y1) {
    Frame f(kPixels, kMarker);
    PutLine(f.data(), x0, y0, x1, y1, 0xABCDEF);
    return changed(f, kMarker);
}

}  // namespace

TEST(PutPixel, PacksChannelsAndCutsCoordinatesTo16Bits) {
    Frame f(kPixels, kMarker);
    PutPixel(f.data(), static_cast<uint16_t>(65541), 2, 0x35, 0x29, 0xA4);
    EXPECT_EQ(changed(f, kMarker), (Points{{5, 2}}));
    EXPECT_EQ(f[2 * 320 + 5], 0x3529A4u);
}

// Each bar over a cleared frame holding at most one drawn dot (colour 7): rows first..last-1 of
// the bar's columns hold the whole colour word, the dot stays unless the bar covers it.
TEST(PutFilledRectangle, RowsStopsAndClipping) {
    struct Bar { int x, y, w, h, dotX, dotY, first, last; };
    const Bar bars[] = {
        {10, 50, 4, 3, -1, 0, 47, 51},     // rows y - h to y inclusive
        {7, 20, 3, 0, -1, 0, 20, 21},      // h = 0: the single row y
        {7, 20, 0, 5, -1, 0, 0, 0},        // w = 0: nothing
        {0, 300, 2, 70, -1, 0, 230, 240},  // stops at the bottom edge
        {0, 300, 2, 60, -1, 0, 0, 0},      // top row 240 already below the frame
        {5, 10, 3, 40000, -1, 0, 0, 0},    // top wraps to 25546 in 16 bits: below the bottom row
        {20, 40, 5, 10, 20, 30, 0, 0},     // top row's leftmost pixel drawn: nothing at all
        {20, 40, 5, 10, 20, 35, 30, 35},   // the whole call ends at the first drawn leftmost pixel
        {20, 40, 5, 10, 21, 33, 30, 41},   // other drawn pixels of a row neither stop nor survive
    };
    for (const Bar& b : bars) {
        Frame f(kPixels, 0), expected(kPixels, 0);
        if (b.dotX >= 0) f[b.dotY * kWidth + b.dotX] = expected[b.dotY * kWidth + b.dotX] = 7;
        for (int y = b.first; y < b.last; ++y)
            for (int x = b.x; x < b.x + b.w; ++x) expected[y * kWidth + x] = 0x55555555;
        PutFilledRectangle(f.data(), b.x, b.y, b.w, b.h, 0x55555555);
        ASSERT_EQ(f, expected) << "bar " << &b - bars << " (x " << b.x << ", y " << b.y << ")";
    }
}

// Every end point within 13 pixels of a centre, drawn both ways: all eight octants, the axes, the
// diagonals, a single point and both drawing directions of each.
TEST(PutLine, MatchesTheClosedFormInEveryDirection) {
    constexpr int cx = 160, cy = 120, reach = 13;
    for (int ex = cx - reach; ex <= cx + reach; ++ex)
        for (int ey = cy - reach; ey <= cy + reach; ++ey) {
            ASSERT_EQ(drawLine(cx, cy, ex, ey), referenceLine(cx, cy, ex, ey)) << "to " << ex << "," << ey;
            ASSERT_EQ(drawLine(ex, ey, cx, cy), referenceLine(ex, ey, cx, cy)) << "from " << ex << "," << ey;
        }
}

TEST(PutMaskedPicture, AlphaIsAnOnOffMask) {
    std::vector<uint8_t> picture(kPixels * 4);  // alpha 0 on every fifth pixel, 1 on the next
    for (int j = 0; j < kPixels * 4; ++j)
        picture[j] = static_cast<uint8_t>(j % 20 == 3 ? 0 : j % 20 == 7 ? 1 : j * 13 + (j >> 9));
    Frame f(kPixels, kMarker);
    PutMaskedPicture(f.data(), picture.data());
    for (int i = 0; i < kPixels; ++i) {
        const uint8_t* p = &picture[4 * i];
        const uint32_t expected = p[3] == 0 ? kMarker : (uint32_t(p[0]) << 16) | (uint32_t(p[1]) << 8) | p[2];
        ASSERT_EQ(f[i], expected) << "pixel " << i << " alpha " << int(p[3]);
    }
}
