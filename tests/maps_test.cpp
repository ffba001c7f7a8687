// The warp and height maps against the values and counts they are known to hold.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>

#include "effects/tables.h"
#include "demo/demo.h"

namespace {

// The real start-up order: trig tables first.
struct Maps : ::testing::Test { static void SetUpTestSuite() { initDemo(); } };

}  // namespace

// Eight elements from a start, a step apart: along a row (step 1) or down a column.
TEST_F(Maps, Landmarks) {
    struct Run { const char* name; const uint8_t* map; int start, step; std::array<int, 8> values; };
    const Run runs[] = {
        {"xmap row 0", xmap, 0, 1, {137, 135, 133, 130, 128, 126, 124, 121}},
        {"xmap column 0", xmap, 0, kMapSize, {137, 135, 134, 132, 130, 129, 127, 125}},
        {"ymap row 0", ymap, 0, 1, {12, 12, 12, 13, 13, 14, 14, 15}},
        {"ymap row 1", ymap, kMapSize, 1, {14, 14, 14, 15, 15, 16, 16, 17}},
        {"voxelmap row 0", voxelmap, 0, 1, {137, 132, 127, 122, 116, 110, 103, 96}},
        {"voxelmap row 1", voxelmap, kVoxelColumns, 1, {129, 125, 119, 114, 108, 101, 95, 89}}};
    for (const Run& r : runs)
        for (int k = 0; k < 8; ++k)
            EXPECT_EQ(r.map[r.start + k * r.step], r.values[k]) << r.name << ", element " << k;
}

// The far corner of each map, and how often 0 and 255 occur: the counts pin down every element's
// rounding, the far corners included.
TEST_F(Maps, FarCornersAndExtremeValueCounts) {
    struct Whole { const char* name; const uint8_t* map; int size, lastValue; long zeros, full; };
    const Whole maps[] = {{"xmap", xmap, kMapSize * kMapSize, 21, 431, 392},
                          {"ymap", ymap, kMapSize * kMapSize, 93, 273, 751},
                          {"voxelmap", voxelmap, kVoxelRows * kVoxelColumns, 176, 152, 296}};
    for (const Whole& m : maps) {
        EXPECT_EQ(m.map[m.size - 1], m.lastValue) << m.name;
        EXPECT_EQ(std::count(m.map, m.map + m.size, 0), m.zeros) << m.name << ", zeros";
        EXPECT_EQ(std::count(m.map, m.map + m.size, 255), m.full) << m.name << ", 255s";
    }
}
