// The warp and height maps against the values and counts they are known to hold.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>

#include "effects/tables.h"
#include "main/demo.h"

namespace {

struct Maps : ::testing::Test {
    static void SetUpTestSuite() { initDemo(); }  // the real start-up order: trig tables first
};

template <size_t N>
void expectRow(const uint8_t* map, int stride, int row, int column, int step,
               const std::array<int, N>& expected, const char* name) {
    for (size_t k = 0; k < N; ++k) {
        const int at = row * stride + column + static_cast<int>(k) * step;
        EXPECT_EQ(map[at], expected[k]) << name << " element " << at << " (k=" << k << ")";
    }
}

long countOf(const uint8_t* map, int size, uint8_t value) {
    return std::count(map, map + size, value);
}

}  // namespace

TEST_F(Maps, XmapLandmarks) {
    expectRow(xmap, kMapSize, 0, 0, 1, std::array{137, 135, 133, 130, 128, 126, 124, 121}, "xmap row 0");
    expectRow(xmap, kMapSize, 0, 0, kMapSize, std::array{137, 135, 134, 132, 130, 129, 127, 125},
              "xmap column 0");
    EXPECT_EQ(xmap[511 * kMapSize + 511], 21);
}

TEST_F(Maps, YmapLandmarks) {
    expectRow(ymap, kMapSize, 0, 0, 1, std::array{12, 12, 12, 13, 13, 14, 14, 15}, "ymap row 0");
    expectRow(ymap, kMapSize, 1, 0, 1, std::array{14, 14, 14, 15, 15, 16, 16, 17}, "ymap row 1");
    EXPECT_EQ(ymap[511 * kMapSize + 511], 93);
}

TEST_F(Maps, VoxelmapLandmarks) {
    expectRow(voxelmap, kVoxelColumns, 0, 0, 1, std::array{137, 132, 127, 122, 116, 110, 103, 96},
              "voxelmap row 0");
    expectRow(voxelmap, kVoxelColumns, 1, 0, 1, std::array{129, 125, 119, 114, 108, 101, 95, 89},
              "voxelmap row 1");
    EXPECT_EQ(voxelmap[63 * kVoxelColumns + 2047], 176);
}

// The counts of the two extreme values pin down every element's rounding, the far corners included.
TEST_F(Maps, ExtremeValueCounts) {
    constexpr int kWarp = kMapSize * kMapSize;
    constexpr int kVoxel = kVoxelRows * kVoxelColumns;
    EXPECT_EQ(countOf(xmap, kWarp, 0), 431);
    EXPECT_EQ(countOf(ymap, kWarp, 0), 273);
    EXPECT_EQ(countOf(voxelmap, kVoxel, 0), 152);
    EXPECT_EQ(countOf(xmap, kWarp, 255), 392);
    EXPECT_EQ(countOf(ymap, kWarp, 255), 751);
    EXPECT_EQ(countOf(voxelmap, kVoxel, 255), 296);
}
