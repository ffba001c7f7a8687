// The 2D primitives: pixel, bar, line and masked copy, each against values worked out by hand or a
// slow reference written here from the description of the routine.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <utility>
#include <vector>

#include "2d/2d.h"
#include "2d/frame.h"

namespace {

constexpr uint32_t kMarker = 0x12345678;  // no test draws this word

using Frame = std::vector<uint32_t>;
using Points = std::vector<std::pair<int, int>>;

Frame blank(uint32_t fill = 0) { return Frame(kPixels, fill); }

uint32_t at(const Frame& f, int x, int y) { return f[y * kWidth + x]; }

// Every pixel that differs from the fill, as (x, y) in index order.
Points changed(const Frame& f, uint32_t fill) {
    Points points;
    for (int i = 0; i < kPixels; ++i)
        if (f[i] != fill) points.emplace_back(i % kWidth, i / kWidth);
    return points;
}

Points sorted(Points p) {
    std::sort(p.begin(), p.end(), [](auto a, auto b) {
        return a.second != b.second ? a.second < b.second : a.first < b.first;
    });
    return p;
}

// The line in closed form: the k-th pixel along the major axis moves the minor axis once for every
// whole major length that (half the major length + k * minor length) holds.
Points referenceLine(int x0, int y0, int x1, int y1) {
    const int sx = (x1 > x0) - (x1 < x0), sy = (y1 > y0) - (y1 < y0);
    const int ax = std::abs(x1 - x0), ay = std::abs(y1 - y0);
    Points points;
    if (ax >= ay) {
        for (int k = 0; k <= ax; ++k)
            points.emplace_back(x0 + k * sx, y0 + sy * (ax == 0 ? 0 : ((ax >> 1) + k * ay) / ax));
    } else {
        for (int k = 0; k <= ay; ++k)
            points.emplace_back(x0 + sx * (((ay >> 1) + k * ax) / ay), y0 + k * sy);
    }
    return points;
}

Points drawLine(int x0, int y0, int x1, int y1) {
    Frame f = blank(kMarker);
    PutLine(f.data(), x0, y0, x1, y1, 0xABCDEF);
    return changed(f, kMarker);
}

}  // namespace

TEST(PutPixel, PacksChannelsAndCutsCoordinatesTo16Bits) {
    Frame f = blank(kMarker);
    PutPixel(f.data(), static_cast<uint16_t>(65541), 2, 0x35, 0x29, 0xA4);
    EXPECT_EQ(f[2 * 320 + 5], 0x3529A4u);
    EXPECT_EQ(changed(f, kMarker).size(), 1u);
}

TEST(PutFilledRectangle, FillsRowsTopToBottomInclusive) {
    Frame f = blank();
    PutFilledRectangle(f.data(), 10, 50, 4, 3, 0x55555555);  // rows 47..50, columns 10..13
    Points expected;
    for (int y = 47; y <= 50; ++y)
        for (int x = 10; x < 14; ++x) expected.emplace_back(x, y);
    EXPECT_EQ(changed(f, 0), expected);
    EXPECT_EQ(at(f, 10, 47), 0x55555555u);  // the colour word is stored whole
}

TEST(PutFilledRectangle, ZeroHeightFillsOneRowZeroWidthNothing) {
    Frame f = blank();
    PutFilledRectangle(f.data(), 7, 20, 3, 0, 1);
    EXPECT_EQ(changed(f, 0), (Points{{7, 20}, {8, 20}, {9, 20}}));
    f = blank();
    PutFilledRectangle(f.data(), 7, 20, 0, 5, 1);
    EXPECT_TRUE(changed(f, 0).empty());
}

TEST(PutFilledRectangle, StopsAtTheBottomEdge) {
    Frame f = blank();
    PutFilledRectangle(f.data(), 0, 300, 2, 70, 9);  // rows 230..300: only 230..239 exist
    Points expected;
    for (int y = 230; y < 240; ++y) expected.insert(expected.end(), {{0, y}, {1, y}});
    EXPECT_EQ(changed(f, 0), expected);
    f = blank();
    PutFilledRectangle(f.data(), 0, 300, 2, 60, 9);  // top row 240 is already below the frame
    EXPECT_TRUE(changed(f, 0).empty());
}

TEST(PutFilledRectangle, TopAboveBottomAfterWrapDrawsNothing) {
    Frame f = blank();
    // 10 - 40000 wraps to 25546 in 16 bits, which lies below the bottom row 10.
    PutFilledRectangle(f.data(), 5, 10, 3, 40000, 9);
    EXPECT_TRUE(changed(f, 0).empty());
}

TEST(PutFilledRectangle, EndsTheWholeCallAtTheFirstDrawnLeftmostPixel) {
    Frame f = blank();
    f[30 * 320 + 20] = 7;  // leftmost pixel of the top row
    PutFilledRectangle(f.data(), 20, 40, 5, 10, 9);
    EXPECT_EQ(changed(f, 0), (Points{{20, 30}}));

    f = blank();
    f[35 * 320 + 20] = 7;  // rows 30..34 are filled, nothing from 35 on
    PutFilledRectangle(f.data(), 20, 40, 5, 10, 9);
    Points expected;
    for (int y = 30; y < 35; ++y)
        for (int x = 20; x < 25; ++x) expected.emplace_back(x, y);
    expected.emplace_back(20, 35);
    EXPECT_EQ(changed(f, 0), expected);
    EXPECT_EQ(at(f, 20, 35), 7u);
}

TEST(PutFilledRectangle, OtherDrawnPixelsOfARowAreOverwritten) {
    Frame f = blank();
    f[33 * 320 + 21] = 7;
    PutFilledRectangle(f.data(), 20, 40, 5, 10, 9);
    for (int y = 30; y <= 40; ++y)
        for (int x = 20; x < 25; ++x) ASSERT_EQ(at(f, x, y), 9u) << x << "," << y;
}

TEST(PutFilledRectangle, NearerBarsHideFartherOnes) {
    Frame f = blank();
    PutFilledRectangle(f.data(), 0, 200, 1, 50, 1);  // near: rows 150..200
    PutFilledRectangle(f.data(), 0, 180, 1, 60, 2);  // farther, taller: rows 120..149 show
    PutFilledRectangle(f.data(), 0, 170, 1, 40, 3);  // farther, top 130 below 120: hidden
    for (int y = 0; y < 240; ++y) {
        const uint32_t expected = y < 120 ? 0 : y < 150 ? 2 : y <= 200 ? 1 : 0;
        ASSERT_EQ(at(f, 0, y), expected) << "row " << y;
    }
}

TEST(PutLine, ExamplesWorkedByHand) {
    EXPECT_EQ(drawLine(3, 3, 3, 3), (Points{{3, 3}}));
    EXPECT_EQ(drawLine(0, 0, 4, 2), (Points{{0, 0}, {1, 1}, {2, 1}, {3, 2}, {4, 2}}));
    EXPECT_EQ(drawLine(4, 2, 0, 0), (Points{{0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 2}}));
    EXPECT_EQ(drawLine(0, 0, 3, 3), (Points{{0, 0}, {1, 1}, {2, 2}, {3, 3}}));
    EXPECT_EQ(drawLine(0, 0, 2, 5), (Points{{0, 0}, {0, 1}, {1, 2}, {1, 3}, {2, 4}, {2, 5}}));
}

// Every end point within 13 pixels of a centre, drawn both ways: all eight octants, the axes, the
// diagonals and both drawing directions of each.
TEST(PutLine, MatchesTheClosedFormInEveryDirection) {
    constexpr int cx = 160, cy = 120, reach = 13;
    int octantsSeen = 0;
    for (int ex = cx - reach; ex <= cx + reach; ++ex)
        for (int ey = cy - reach; ey <= cy + reach; ++ey) {
            const Points forward = drawLine(cx, cy, ex, ey);
            ASSERT_EQ(forward, sorted(referenceLine(cx, cy, ex, ey)))
                << "(" << cx << "," << cy << ")->(" << ex << "," << ey << ")";
            const Points backward = drawLine(ex, ey, cx, cy);
            ASSERT_EQ(backward, sorted(referenceLine(ex, ey, cx, cy)))
                << "(" << ex << "," << ey << ")->(" << cx << "," << cy << ")";
            const int ax = std::abs(ex - cx), ay = std::abs(ey - cy);
            ASSERT_EQ(forward.size(), static_cast<size_t>(std::max(ax, ay) + 1));
            if (ax != ay && ax != 0 && ay != 0)
                octantsSeen |= 1 << ((ex > cx) * 4 + (ey > cy) * 2 + (ax > ay));
        }
    EXPECT_EQ(octantsSeen, 0xFF);
}

TEST(PutMaskedPicture, AlphaIsAnOnOffMask) {
    std::vector<uint8_t> picture(kPixels * 4 + 1, 0);
    Frame f = blank(kMarker);
    for (int i = 0; i < kPixels; ++i) {
        uint8_t* p = &picture[4 * i];
        p[0] = static_cast<uint8_t>(i * 7);
        p[1] = static_cast<uint8_t>(i >> 3);
        p[2] = static_cast<uint8_t>(255 - i);
        p[3] = static_cast<uint8_t>(i % 5 == 0 ? 0 : i % 5 == 1 ? 1 : i * 13);
    }
    PutMaskedPicture(f.data(), picture.data());
    for (int i = 0; i < kPixels; ++i) {
        const uint8_t* p = &picture[4 * i];
        const uint32_t expected =
            p[3] == 0 ? kMarker : (uint32_t(p[0]) << 16) | (uint32_t(p[1]) << 8) | p[2];
        ASSERT_EQ(f[i], expected) << "pixel " << i << " alpha " << int(p[3]);
    }
}
