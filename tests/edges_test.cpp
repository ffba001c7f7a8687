// The edge table: single-row overwrites and their order, ties between edges, and the failure to
// allocate the table. Whole triangles (and so the clearing) are compared with a reference in fillers_test.
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>

#include "raster_reference.h"

using ref::at;

// A row of the table as left, right, leftU, leftV, rightU, rightV.
static std::vector<Fixed> fields(int row) {
    const EdgeInfo& e = gEdgeInfo[row];
    return {e.left, e.right, e.leftU, e.leftV, e.rightU, e.rightV};
}

TEST(EdgeTable, SingleRowEdgesOverwriteTheRowOrderedByWholeColumns) {
    mobInitRender();
    mobClearEdges(20, 30, 30);
    mobRasterizeFlatEdge(at(100, 20), at(40, 30));  // reaches row 30 at x = 40
    mobRasterizeFlatEdge(at(70, 30), at(60, 30.9));  // ends within one row: overwrites the row's 40
    EXPECT_EQ(fields(30)[0], 60 << 16);
    EXPECT_EQ(fields(30)[1], 70 << 16);
    // Both ends in column 7: b is not to the right of a, so b becomes left, with its texels.
    const Coordinate a = at(7.75, 3, 1, 2), b = at(7.25, 3, 3, 4);
    mobRasterizeEdge(a, b);
    EXPECT_EQ(fields(3), (std::vector<Fixed>{b.x, a.x, b.u, b.v, a.u, a.v}));
}

TEST(EdgeTable, EqualColumnsKeepTheFirstRecordedTexels) {
    // Two edges reach (50, 10) with different texels; the first walked keeps the row's ends.
    mobInitRender();
    mobClearEdges(10, 20, 20);
    mobRasterizeEdge(at(50, 10, 1, 1), at(20, 20, 2, 2));
    mobRasterizeEdge(at(80, 20, 3, 3), at(50, 10, 9, 9));
    EXPECT_EQ(fields(10), (std::vector<Fixed>{50 << 16, 50 << 16, 1 << 16, 1 << 16, 1 << 16, 1 << 16}));
}

#if !defined(__SANITIZE_ADDRESS__)
void* volatile gSink;  // keeps the compiler from dropping the allocations that use up the memory

// Without memory for the table the first triangle cannot be drawn: a message and a failed exit,
// never a write through a null pointer.
TEST(EdgeTableDeathTest, AllocationFailureEndsTheProcessWithAMessage) {
    EXPECT_EXIT(
        {
            gMobInited = 0;
            gEdgeInfo = nullptr;
            long pages = 0;
            FILE* statm = std::fopen("/proc/self/statm", "r");
            if (statm == nullptr || std::fscanf(statm, "%ld", &pages) != 1) std::_Exit(42);
            rlimit limit{};
            limit.rlim_cur = limit.rlim_max = rlim_t(pages) * 4096 + (1 << 20);  // a megabyte more than now
            setrlimit(RLIMIT_AS, &limit);
            for (size_t size = 1 << 16; size >= 16; size /= 64)
                for (void* p = std::malloc(size); p != nullptr; p = std::malloc(size)) gSink = p;
            mobInitRender();
            std::_Exit(gEdgeInfo == nullptr ? 43 : 44);  // not reached when it reports the failure
        },
        ::testing::ExitedWithCode(EXIT_FAILURE), "edge table");
}
#endif
