// The cube and stripes scene: the stripes' drift, the logo's thresholds and blend, and the cube's
// corners, face order and bounds, from values worked out for the given times.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "2d/frame.h"
#include "assets/pictures.h"
#include "effects/cube.h"
#include "effects/effects.h"
#include "main/demo.h"

namespace {

constexpr uint32_t kStripe = 0x222222;

using Frame = std::vector<uint32_t>;

uint8_t logoAlpha(int x, int y) { return tarnivoisback[4 * (y * kWidth + x) + 3]; }

Frame background(int32_t t) {
    Frame f(kPixels, 0);
    effect5(f.data(), t);
    return f;
}

uint32_t over(uint32_t below, uint8_t r, uint8_t g, uint8_t b, uint8_t a) {
    const uint8_t rgba[4] = {r, g, b, a};
    return logoOver(below, rgba);
}

}  // namespace

TEST(Stripes, PhaseAtTheSceneStart) {
    ASSERT_LE(logoAlpha(0, 0), 10) << "the logo must leave the top-left corner clear";
    ASSERT_LE(logoAlpha(5, 0), 10);
    const Frame f = background(17000);
    EXPECT_EQ(f[0], kStripe);  // (0 + 0 + 850) mod 18 = 4
    EXPECT_EQ(f[5], 0u);       // (5 + 0 + 850) mod 18 = 9
}

// Away from the logo, 20 ms later every pixel shows what its right and lower neighbours showed.
TEST(Stripes, DriftOneDiagonalStepEvery20ms) {
    const Frame before = background(17000), after = background(17020);
    int compared = 0;
    for (int y = 0; y + 1 < kHeight; ++y)
        for (int x = 0; x + 1 < kWidth; ++x) {
            if (logoAlpha(x, y) > 10 || logoAlpha(x + 1, y) > 10 || logoAlpha(x, y + 1) > 10) continue;
            ASSERT_EQ(after[y * kWidth + x], before[y * kWidth + x + 1]) << x << "," << y;
            ASSERT_EQ(after[y * kWidth + x], before[(y + 1) * kWidth + x]) << x << "," << y;
            ++compared;
        }
    EXPECT_GT(compared, kPixels / 4);  // the logo leaves most of the frame clear
    EXPECT_EQ(background(17019), before);  // the same step until the next 20 ms
}

TEST(Stripes, LogoThresholds) {
    EXPECT_EQ(over(kStripe, 200, 100, 50, 0), kStripe);
    EXPECT_EQ(over(kStripe, 200, 100, 50, 10), kStripe);
    EXPECT_EQ(over(kStripe, 200, 100, 50, 246), 0xC86432u);
    EXPECT_EQ(over(kStripe, 200, 100, 50, 255), 0xC86432u);
    // 11 and 245 blend: neither the stripe nor the logo's colour.
    EXPECT_EQ(over(0, 200, 100, 50, 11), (200 * 11 / 256 << 16) | (100 * 11 / 256 << 8) | (50 * 11 / 256));
    EXPECT_EQ(over(0, 200, 100, 50, 245), (200 * 245 / 256 << 16) | (100 * 245 / 256 << 8) | (50 * 245 / 256));
}

TEST(Stripes, LogoBlend) {
    EXPECT_EQ(over(kStripe, 255, 255, 255, 128), 0x90908Fu);  // 144, 144, 143
    EXPECT_EQ(over(0, 128, 64, 32, 200), 0x643219u);          // 100, 50, 25
}

TEST(Cube, CornersAndFaceOrderAtTheSceneStart) {
    CubeCorner corner[kCubeCorners];
    projectCube(17000, corner);
    EXPECT_EQ(gAng1, 17.0f);
    EXPECT_EQ(gAng2, 28.333334f);
    const ScreenPoint expected[kCubeCorners] = {{70, 210}, {69, 196}, {100, 193}, {119, 204},
                                                {69, 152}, {68, 162}, {100, 163}, {120, 156}};
    for (int v = 0; v < kCubeCorners; ++v) {
        const ScreenPoint p = cubeScreenPoint(corner[v]);
        EXPECT_EQ(p.x, expected[v].x) << "corner " << v;
        EXPECT_EQ(p.y, expected[v].y) << "corner " << v;
    }
    int order[kCubeFaces];
    sortCubeFaces(corner, order);
    EXPECT_EQ(std::vector<int>(order, order + kCubeFaces),
              (std::vector<int>{7, 6, 11, 0, 2, 9, 10, 1, 3, 8, 5, 4}));
}

TEST(Cube, EveryCornerStaysInItsAreaOverTheWholeWindow) {
    int minX = kWidth, maxX = 0, minY = kHeight, maxY = 0;
    CubeCorner corner[kCubeCorners];
    for (int32_t t = 17000; t < 34500; ++t) {
        projectCube(t, corner);
        for (const CubeCorner& c : corner) {
            const ScreenPoint p = cubeScreenPoint(c);
            minX = std::min(minX, p.x), maxX = std::max(maxX, p.x);
            minY = std::min(minY, p.y), maxY = std::max(maxY, p.y);
        }
    }
    EXPECT_GE(minX, 52);
    EXPECT_LE(maxX, 127);
    EXPECT_GE(minY, 141);
    EXPECT_LE(maxY, 218);
}

// Equal depths keep their face order: at t = 0 both angles are 0 and opposite sides tie.
TEST(Cube, EqualDepthsKeepFaceOrder) {
    CubeCorner corner[kCubeCorners];
    projectCube(0, corner);
    int order[kCubeFaces];
    sortCubeFaces(corner, order);
    // At t = 0 the depth is the corner's y: keys 3 (faces 10, 11), 1 (1, 3, 5, 7), -1 (0, 2, 4,
    // 6) and -3 (8, 9), each tie in face order.
    EXPECT_EQ(std::vector<int>(order, order + kCubeFaces),
              (std::vector<int>{10, 11, 1, 3, 5, 7, 0, 2, 4, 6, 8, 9}));
}

// The scene as the timeline draws it: only the two face colours over the stripes, the corners
// covered, and nothing of the cube beyond its corners' box.
TEST(Cube, SceneDrawsTheCubeOverTheBackground) {
    initDemo();
    Frame f(kPixels, 0x12345678);
    doDemoAt(f.data(), 17000);
    const Frame back = background(17000);
    const ScreenPoint corners[] = {{70, 210}, {69, 196}, {100, 193}, {119, 204},
                                   {69, 152}, {68, 162}, {100, 163}, {120, 156}};
    for (const ScreenPoint& c : corners) {
        const uint32_t p = f[c.y * kWidth + c.x];
        EXPECT_TRUE(p == 0x55555555u || p == 0x22222222u) << c.x << "," << c.y;
    }
    for (int i = 0; i < kPixels; ++i) {
        if (f[i] == back[i]) continue;
        const int x = i % kWidth, y = i / kWidth;
        ASSERT_TRUE(f[i] == 0x55555555u || f[i] == 0x22222222u) << x << "," << y;
        ASSERT_TRUE(x >= 68 && x <= 120 && y >= 152 && y <= 210) << x << "," << y;
    }
}
