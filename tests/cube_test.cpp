// The cube and stripes scene: the stripes' phase and drift, the logo's thresholds and blend, and the cube's
// corners, face order and bounds, from values worked out for the given times.
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "2d/frame.h"
#include "assets/pictures.h"
#include "effects/cube.h"
#include "effects/effects.h"
#include "demo/demo.h"
#include "raster_reference.h"

namespace {

constexpr uint32_t kStripe = 0x222222;
using Frame = std::vector<uint32_t>;
using Points = std::vector<std::pair<int, int>>;

// Where the eight corners land at t = 17000, vertices 0 to 7.
const Points kCorners17000 = {{70, 210}, {69, 196}, {100, 193}, {119, 204},
                              {69, 152}, {68, 162}, {100, 163}, {120, 156}};

Points screenCorners(int32_t t) {
    CubeCorner corner[kCubeCorners];
    projectCube(t, corner);
    Points points;
    for (const CubeCorner& c : corner) points.emplace_back(cubeScreenPoint(c).x, cubeScreenPoint(c).y);
    return points;
}

std::vector<int> faceOrder(int32_t t) {
    CubeCorner corner[kCubeCorners];
    projectCube(t, corner);
    std::vector<int> order(kCubeFaces);
    sortCubeFaces(corner, order.data());
    return order;
}

}  // namespace

// The stripes carry the logo, which the start-up prepares.
struct Stripes : ::testing::Test { static void SetUpTestSuite() { initDemo(); } };

// Alpha 10 leaves the pixel, 11 and 245 blend, 246 copies; blue rounds its two terms apart.
TEST_F(Stripes, LogoThresholdsAndBlend) {
    const struct { uint32_t below; uint8_t rgba[4]; uint32_t expected; } cases[] = {
        {kStripe, {200, 100, 50, 0}, kStripe},     {kStripe, {200, 100, 50, 10}, kStripe},
        {kStripe, {200, 100, 50, 246}, 0xC86432},  {kStripe, {200, 100, 50, 255}, 0xC86432},
        {0, {200, 100, 50, 11}, 0x080402},         {0, {200, 100, 50, 245}, 0xBF5F2F},
        {kStripe, {255, 255, 255, 128}, 0x90908F}, {0, {128, 64, 32, 200}, 0x643219},
        {0x102030, {200, 100, 50, 128}, 0x6B4130}};  // each channel over its own
    for (const auto& c : cases)
        EXPECT_EQ(logoOver(c.below, c.rgba), c.expected) << "alpha " << int(c.rgba[3]) << " over " << c.below;
}

// The whole frame pixel by pixel: the logo through logoOver over the stripes, which take pixel
// (x, y) where (x + y + t / 20) mod 18 is below 9, over black as in the show and over a colour; the
// stripes step once every 20 ms, between 17019 and 17020, and not before.
TEST_F(Stripes, LogoOverTheStripesPixelByPixel) {
    for (uint32_t colour : {0u, 0x123456u})
        for (int32_t t : {17000, 17019, 17020, 23456, 34499}) {
            const Frame real = ref::drawn(effect5, t, colour);
            for (int i = 0; i < kPixels; ++i) {
                const uint32_t below = (i % kWidth + i / kWidth + t / 20) % 18 < 9 ? kStripe : colour;
                ASSERT_EQ(real[i], logoOver(below, tarnivoisback + 4 * i)) << "t=" << t << " pixel " << i;
            }
        }
}

TEST(Cube, CornersAndFaceOrderAtTheSceneStart) {
    EXPECT_EQ(screenCorners(17000), kCorners17000);
    EXPECT_EQ(faceOrder(17000), (std::vector<int>{7, 6, 11, 0, 2, 9, 10, 1, 3, 8, 5, 4}));
    // At t = 0 the depth is the corner's y: keys 3 (faces 10, 11), 1 (1, 3, 5, 7), -1 (0, 2, 4, 6)
    // and -3 (8, 9). Equal depths keep their face order.
    EXPECT_EQ(faceOrder(0), (std::vector<int>{10, 11, 1, 3, 5, 7, 0, 2, 4, 6, 8, 9}));
}

// The scene as the timeline draws it: only the two face colours over the stripes, the corners
// covered, and nothing of the cube beyond its corners' box. The side x = -1 (faces 4 and 5, drawn
// last) spans corners 0, 3, 7, 4 and so covers the centre (90, 180) in its own colour.
TEST(Cube, SceneDrawsTheCubeOverTheBackground) {
    initDemo();
    Frame f(kPixels, 0x12345678);
    doDemoAt(f.data(), 17000);
    const Frame back = ref::drawn(effect5, 17000, 0);
    for (auto [x, y] : kCorners17000) EXPECT_NE(f[y * kWidth + x], back[y * kWidth + x]) << x << "," << y;
    EXPECT_EQ(f[180 * kWidth + 90], 0x55555555u);
    for (int i = 0; i < kPixels; ++i) {
        const int x = i % kWidth, y = i / kWidth;
        const bool face = f[i] == 0x55555555u || f[i] == 0x22222222u;
        ASSERT_TRUE(f[i] == back[i] || (face && x >= 68 && x <= 120 && y >= 152 && y <= 210)) << x << "," << y;
    }
}
