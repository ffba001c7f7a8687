// The clock scene: whole frames against the slow reference rasterizer with the dials' corners
// written out at stated times, over the background that their transparent texels darken.
#include <gtest/gtest.h>

#include <tuple>

#include "assets/pictures.h"
#include "effects/effects.h"
#include "demo/demo.h"
#include "raster_reference.h"

using Pose = int[8];  // corners Q1..Q4, each as column, row

// The big dial at n = 0, 101, 404, 707 and the small one at n = 0, 52, 104, 572.
const Pose kBigUp = {36, 36, 164, 36, 36, 164, 164, 164}, kSmallUp = {158, 108, 222, 108, 158, 172, 222, 172};
const Pose kBig101 = {86, 10, 189, 85, 11, 113, 114, 188}, kBig404 = {189, 115, 84, 188, 116, 10, 11, 83};
const Pose kBig707 = {56, 178, 22, 55, 179, 144, 145, 21}, kSmall52 = {170, 98, 231, 119, 149, 159, 210, 180};
const Pose kSmall104 = {184, 94, 235, 133, 145, 145, 196, 184}, kSmall572 = {205, 181, 148, 154, 232, 124, 175, 97};

// The background, then each dial as two reference triangles Q1 Q2 Q3 and Q2 Q3 Q4.
static std::vector<uint32_t> expected(const Pose& big, const Pose& small) {
    std::vector<uint32_t> frame(320 * 240);
    for (int i = 0; i < 320 * 240; ++i) frame[i] = ref::rgb(klockz + 4 * i);
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
        EXPECT_EQ(ref::firstDifference(ref::drawn(effect10, c.t), expected(c.big, c.small)), "") << "t=" << c.t;
}
