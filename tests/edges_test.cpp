// The edge table: which columns and texels the walkers record per row, single-row overwrites,
// untouched rows, and the failure to allocate the table.
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "mobilePolygon/mobilePolygon.h"

namespace {

constexpr Fixed kOne = 1 << 16;

Coordinate at(double x, double y, double u = 0, double v = 0) {
    return {Fixed(x * kOne), Fixed(y * kOne), Fixed(u * kOne), Fixed(v * kOne)};
}

struct EdgeTable : ::testing::Test {
    void SetUp() override { mobInitRender(); }
    static void clear(const Coordinate& a, const Coordinate& b, const Coordinate& c) {
        mobClearEdges(a.y >> 16, b.y >> 16, c.y >> 16);
    }
};

}  // namespace

TEST_F(EdgeTable, ClearingSetsTheRowsAndMarksThemEmpty) {
    for (int r = 0; r < 240; ++r) gEdgeInfo[r] = {1, 2, 3, 4, 5, 6};
    mobClearEdges(30, 12, 20);
    EXPECT_EQ(gTop, 12);
    EXPECT_EQ(gBottom, 30);
    for (int r = 0; r < 240; ++r) {
        const bool cleared = r >= 12 && r <= 30;
        EXPECT_EQ(gEdgeInfo[r].left, cleared ? 0x1400000 : 1) << r;
        EXPECT_EQ(gEdgeInfo[r].right, cleared ? 0 : 2) << r;
        EXPECT_EQ(gEdgeInfo[r].leftU, 3) << r;  // texture fields are never reset
        EXPECT_EQ(gEdgeInfo[r].rightV, 6) << r;
    }
}

TEST_F(EdgeTable, SlopedEdgeRecordsOneColumnPerRow) {
    const Coordinate a = at(10, 5, 1, 100), b = at(20, 10, 11, 90);
    clear(a, b, b);
    mobRasterizeEdge(a, b);
    for (int r = 5; r <= 10; ++r) {
        const EdgeInfo& e = gEdgeInfo[r];
        const int j = r - 5;
        EXPECT_EQ(e.left, (10 + 2 * j) * kOne) << r;
        EXPECT_EQ(e.right, (10 + 2 * j) * kOne) << r;
        EXPECT_EQ(e.leftU, (1 + 2 * j) * kOne) << r;
        EXPECT_EQ(e.leftV, (100 - 2 * j) * kOne) << r;
        EXPECT_EQ(e.rightU, e.leftU) << r;
        EXPECT_EQ(e.rightV, e.leftV) << r;
    }
    // Walked the other way the edge records the same columns: the top vertex starts the walk.
    clear(a, b, b);
    mobRasterizeFlatEdge(b, a);
    for (int r = 5; r <= 10; ++r) EXPECT_EQ(gEdgeInfo[r].left, (10 + 2 * (r - 5)) * kOne) << r;
}

TEST_F(EdgeTable, SingleRowEdgeReplacesWhatASlopedEdgeLeft) {
    const Coordinate a = at(100, 20), b = at(40, 30), c = at(140, 30);
    clear(a, b, c);
    mobRasterizeFlatEdge(a, b);  // reaches row 30 at x = 40
    EXPECT_EQ(gEdgeInfo[30].left, 40 * kOne);
    const Coordinate d = at(60, 30), e = at(70, 30);
    mobRasterizeFlatEdge(e, d);  // a single-row edge, not merged with the row's 40
    EXPECT_EQ(gEdgeInfo[30].left, 60 * kOne);
    EXPECT_EQ(gEdgeInfo[30].right, 70 * kOne);
}

TEST_F(EdgeTable, SingleRowOrderComparesWholeColumns) {
    // Both ends in column 7: b is not to the right of a, so b becomes left.
    const Coordinate a = at(7.75, 3, 1, 1), b = at(7.25, 3, 2, 2);
    clear(a, b, b);
    mobRasterizeEdge(a, b);
    EXPECT_EQ(gEdgeInfo[3].left, b.x);
    EXPECT_EQ(gEdgeInfo[3].leftU, b.u);
    EXPECT_EQ(gEdgeInfo[3].right, a.x);
    EXPECT_EQ(gEdgeInfo[3].rightU, a.u);
}

TEST_F(EdgeTable, EndsWithinOneIntegerRowMakeASingleRowEdge) {
    const Coordinate a = at(30, 8.0), b = at(90, 8.9);
    clear(a, b, b);
    gEdgeInfo[9].left = 0x1400000;
    mobRasterizeFlatEdge(a, b);
    EXPECT_EQ(gEdgeInfo[8].left, 30 * kOne);
    EXPECT_EQ(gEdgeInfo[8].right, 90 * kOne);
    EXPECT_EQ(gEdgeInfo[9].left, 0x1400000);  // nothing beyond row 8
}

TEST_F(EdgeTable, EqualColumnsKeepTheFirstRecordedTexels) {
    // Two edges meet at (50, 10) with different texels; the first walked keeps the row.
    const Coordinate a = at(50, 10, 1, 1), b = at(20, 20, 2, 2), c = at(80, 20, 3, 3);
    const Coordinate a2 = at(50, 10, 9, 9);
    clear(a, b, c);
    mobRasterizeEdge(a, b);
    mobRasterizeEdge(c, a2);
    EXPECT_EQ(gEdgeInfo[10].leftU, 1 * kOne);
    EXPECT_EQ(gEdgeInfo[10].rightU, 1 * kOne);
}

#if !defined(__SANITIZE_ADDRESS__)
void* volatile gSink;  // keeps the compiler from dropping the allocations that use up the memory

// Without memory for the table the first triangle cannot be drawn: a message and a failed exit,
// never a write through a null pointer.
TEST(EdgeTableDeathTest, AllocationFailureEndsTheProcessWithAMessage) {
    GTEST_FLAG_SET(death_test_style, "fast");
    EXPECT_EXIT(
        {
            gMobInited = 0;
            gEdgeInfo = nullptr;
            rlimit limit{};
            getrlimit(RLIMIT_AS, &limit);
            long pages = 0;
            FILE* statm = std::fopen("/proc/self/statm", "r");
            if (statm == nullptr || std::fscanf(statm, "%ld", &pages) != 1) std::_Exit(42);
            std::fclose(statm);
            limit.rlim_cur = rlim_t(pages) * 4096 + (1 << 20);  // a megabyte more than now
            setrlimit(RLIMIT_AS, &limit);
            for (size_t size : {size_t(1) << 16, size_t(1024), size_t(16)})
                for (;;) {
                    gSink = std::malloc(size);
                    if (gSink == nullptr) break;
                }
            mobInitRender();
            std::_Exit(gEdgeInfo == nullptr ? 43 : 44);  // not reached when it reports the failure
        },
        ::testing::ExitedWithCode(EXIT_FAILURE), "edge table");
}
#endif
