// The clock scene: whole frames against the slow reference rasterizer with the dials' corners
// written out at stated times, and the background through the dials' transparent texels.
#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

#include "assets/pictures.h"
#include "effects/effects.h"
#include "main/demo.h"
#include "raster_reference.h"

using Pose = int[8];  // corners Q1..Q4, each as column, row

// The big dial at n = 0, 101, 404, 707 and the small one at n = 0, 52, 104, 572.
const Pose kBigUp = {36, 36, 164, 36, 36, 164, 164, 164}, kSmallUp = {158, 108, 222, 108, 158, 172, 222, 172};
const Pose kBig101 = {86, 10, 189, 85, 11, 113, 114, 188}, kBig404 = {189, 115, 84, 188, 116, 10, 11, 83};
const Pose kBig707 = {56, 178, 22, 55, 179, 144, 145, 21}, kSmall52 = {170, 98, 231, 119, 149, 159, 210, 180};
const Pose kSmall104 = {184, 94, 235, 133, 145, 145, 196, 184}, kSmall572 = {205, 181, 148, 154, 232, 124, 175, 97};

static uint32_t background(int i) { return klockz[4 * i] << 16 | klockz[4 * i + 1] << 8 | klockz[4 * i + 2]; }

static std::vector<uint32_t> render(int32_t t) {
    std::vector<uint32_t> frame(320 * 240, 0x55555555u);  // the scene must cover it all
    effect10(frame.data(), t);
    return frame;
}

// The background, then each dial as two reference triangles Q1 Q2 Q3 and Q2 Q3 Q4.
static std::vector<uint32_t> expected(const Pose& big, const Pose& small) {
    std::vector<uint32_t> frame(320 * 240);
    for (int i = 0; i < 320 * 240; ++i) frame[i] = background(i);
    for (auto [p, tex, lo, hi] : {std::tuple{&big, &fx101, 5, 250}, std::tuple{&small, &fx102, 5, 180}}) {
        const int uv[8] = {lo, lo, hi, lo, lo, hi, hi, hi};
        Coordinate q[4];
        for (int c = 0; c < 4; ++c) q[c] = mobInt2Coordinate((*p)[2 * c], (*p)[2 * c + 1], uv[2 * c], uv[2 * c + 1]);
        ref::triangle(frame, tex, 0, {q[0], q[1], q[2]});
        ref::triangle(frame, tex, 0, {q[1], q[2], q[3]});
    }
    return frame;
}

TEST(ClockScene, DialsStandAtTheirStatedCornersAndStepOnlyAfterEachMark) {
    initDemo();
    const struct { int32_t t; const Pose &big, &small; } cases[] = {
        {0, kBigUp, kSmallUp},     {1080, kBigUp, kSmallUp},   {1081, kBig101, kSmallUp}, {1500, kBig101, kSmallUp},
        {2140, kBig101, kSmallUp}, {4350, kBig404, kSmallUp},  {4351, kBig404, kSmall52}, {5000, kBig404, kSmall104},
        {8341, kBig707, kSmall572}, {8799, kBig707, kSmall572}};
    for (const auto& c : cases)
        EXPECT_EQ(ref::firstDifference(render(c.t), expected(c.big, c.small)), "") << "t=" << c.t;
}

TEST(ClockScene, TransparentTexelsLeaveTheBackgroundOneStepDarker) {
    // Upright, column i of a dial's square samples texel 5 + floor(i * (hi - 5) / size).
    initDemo();
    const std::vector<uint32_t> frame = render(0);
    const struct { const uint8_t* picture; int width, x0, y0, size, hi; } squares[] = {
        {klocka1, 256, 36, 36, 128, 250}, {klocka2, 185, 158, 108, 64, 180}};
    for (const auto& s : squares) {
        int transparent = 0;
        for (int j = 0; j <= s.size; ++j)
            for (int i = 0; i <= s.size; ++i) {
                const int x = s.x0 + i, y = s.y0 + j, u = 5 + i * (s.hi - 5) / s.size, v = 5 + j * (s.hi - 5) / s.size;
                // Skipped: where the squares overlap, the diagonal that both triangles blend, visible texels.
                const bool overlap = x >= 158 && x <= 164 && y >= 108 && y <= 164;
                if (overlap || i + j == s.size || s.picture[4 * (v * s.width + u) + 3] != 0) continue;
                uint32_t darker = 0, f = background(y * 320 + x);  // each channel one step darker, stopping at 0
                for (int shift : {0, 8, 16}) darker |= (std::max(f >> shift & 0xFF, 1u) - 1) << shift;
                ASSERT_EQ(frame[y * 320 + x], darker) << "at " << x << "," << y;
                ++transparent;
            }
        EXPECT_GT(transparent, s.size * s.size / 10);  // the dials' surroundings are transparent
    }
}

TEST(ClockScene, TheEffectsCopiesOfTheConversionsAgreeWithTheRasterizers) {
    for (int i = -40000; i <= 40000; i += 7) {
        const Coordinate a = favorit(i, i + 1, i + 2, -i), b = mobInt2Coordinate(i, i + 1, i + 2, -i);
        ASSERT_TRUE(favorit2(i) == mobInt2Fixed(i) && a.x == b.x && a.y == b.y && a.u == b.u && a.v == b.v) << i;
    }
}
