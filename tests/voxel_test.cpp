// The voxel landscape against a reference over the real height map, then over a height map of the
// test's own making where one sample stands out: the map columns it reads, the bar heights with the
// surge, occlusion between near and far bars, and the sky only behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "2d/frame.h"
#include "assets/pictures.h"
#include "effects/effects.h"
#include "effects/sync.h"
#include "effects/tables.h"
#include "demo/demo.h"
#include "raster_reference.h"

namespace {

using Frame = std::vector<uint32_t>;

constexpr uint32_t kGreen = 0x00FF00;  // map byte 255
constexpr uint32_t kBlue = 0x0000FF;   // map byte 0

struct Voxel : ::testing::Test {
    static void SetUpTestSuite() { initDemo(); }
    void TearDown() override { effect4_init(); }  // the real map again after a test's own
};

uint32_t skyAt(int x, int y) { return ref::rgb(upper + 4 * (y * 320 + x)); }

}  // namespace

// The scene from its description, with its own bars: each clips at the bottom of the frame and the
// whole bar stops at the first row whose leftmost pixel is already painted. The surge compares t
// rounded down to 5 ms: 51494 is outside the window (51490, 51630), 51495 and 51629 inside.
TEST_F(Voxel, MatchesTheReferenceOverTheRealMap) {
    for (int32_t t : {51000, 51494, 51495, 51500, 51629, 53000, 55755, 57777, 59599}) {
        Frame expected(kPixels, 0);
        const int s = t / 5;
        int pair = 0;
        while (voxelsync[2 * pair + 1] < t) ++pair;
        const bool surge = voxelsync[2 * pair] < 5 * s && 5 * s < voxelsync[2 * pair + 1];
        for (int n = 0; n < 64; ++n)
            for (int d = 0; d <= 198; d += 3) {
                const int h = voxelmap[n * 2048 + (d - s + 300000) % 2048];
                int g = std::max(h - d / 2, 20);
                if (surge) g += g / 2;
                const int bottom = 290 - d;
                for (int y = bottom - g / 4; y <= bottom && y <= 239 && expected[y * 320 + 5 * n] == 0; ++y)
                    std::fill_n(&expected[y * 320 + 5 * n], 5, uint32_t(h) << 8 | (255 - h));
            }
        for (int i = 0; i < 320 * 100; ++i)
            if (expected[i] == 0) expected[i] = skyAt(i % 320, i / 320);
        EXPECT_EQ(ref::firstDifference(ref::drawn(effect4, t), expected), "") << "t=" << t;
    }
}

// At t = 51500 (s = 10300, inside the window (51490, 51630): everything surges) the nearest depth
// reads map column 932 and the farthest (d = 198) column 1130. Over flat terrain of byte 0, whose
// bars are 7 rows tall and stack up to row 85, a lone 255 at column 932 of strip 0 stands 95 rows
// tall; one at column 1130 of strip 1 rises from row 34 (the highest any bar reaches) down to the
// top of the nearer terrain in front of it (d = 195, top row 88), and not a row further.
TEST_F(Voxel, StatedColumnsSurgeAndOcclusion) {
    std::fill(std::begin(voxelmap), std::end(voxelmap), 0);
    voxelmap[932] = voxelmap[2048 + 1130] = 255;
    const Frame f = ref::drawn(effect4, 51500);
    const struct { int strip, first, last; uint32_t colour; } runs[] = {  // rows first .. last, all five columns
        {0, 195, 239, kGreen}, {0, 85, 194, kBlue}, {1, 34, 87, kGreen}, {1, 88, 239, kBlue}, {2, 85, 239, kBlue}};
    for (const auto& r : runs)
        for (int y = r.first; y <= r.last; ++y)
            for (int x = 5 * r.strip; x < 5 * r.strip + 5; ++x)
                ASSERT_EQ(f[y * 320 + x], r.colour) << "strip " << r.strip << " at (" << x << ", " << y << ")";
    for (int x = 0; x < 15; ++x) EXPECT_EQ(f[33 * 320 + x], skyAt(x, 33)) << x;
}
