// The music's time stamps: the tables' shape, and the two lookups at and around marks and
// window ends, against a literal count over the tables.
#include <gtest/gtest.h>

#include <vector>

#include "effects/sync.h"

namespace {

// Marks strictly before t, counted over a list without its sentinel.
int countBefore(const std::vector<int32_t>& marks, int32_t t) {
    int n = 0;
    for (int32_t m : marks) n += m < t;
    return n;
}

// Whether u lies strictly inside any real window.
bool insideAny(const int32_t* windows, int pairs, int32_t u) {
    for (int p = 0; p < pairs; ++p)
        if (windows[2 * p] < u && u < windows[2 * p + 1]) return true;
    return false;
}

}  // namespace

TEST(SyncTables, WindowListsDoNotOverlapAndLast130To160) {
    struct List {
        const int32_t* windows;
        int pairs;
        int32_t first, last;  // the scene's window
    };
    for (const List& list : {List{radialsync, 25, 68500, 85299}, List{voxelsync, 9, 51000, 59599}}) {
        EXPECT_EQ(list.windows[2 * list.pairs], 300000);
        EXPECT_EQ(list.windows[2 * list.pairs + 1], 500000);
        for (int p = 0; p < list.pairs; ++p) {
            const int32_t start = list.windows[2 * p], end = list.windows[2 * p + 1];
            EXPECT_GE(end - start, 130) << start;
            EXPECT_LE(end - start, 160) << start;
            EXPECT_GE(start, list.first);
            EXPECT_LE(end, list.last);
            if (p > 0) {
                EXPECT_GT(start, list.windows[2 * p - 1]) << start;
            }
        }
    }
}

TEST(MarksPassed, BigDialAtAndAroundItsMarks) {
    EXPECT_EQ(marksPassed(klocka1_sync, 0), 0);
    EXPECT_EQ(marksPassed(klocka1_sync, 1080), 0);  // a mark equal to t does not count yet
    EXPECT_EQ(marksPassed(klocka1_sync, 1081), 1);
    EXPECT_EQ(marksPassed(klocka1_sync, 7460), 6);
    EXPECT_EQ(marksPassed(klocka1_sync, 7461), 7);
    EXPECT_EQ(marksPassed(klocka1_sync, 8799), 7);
    EXPECT_EQ(marksPassed(klocka1_sync, 300000), 7);  // the sentinel ends the scan
}

TEST(MarksPassed, SmallDialAtAndAroundItsMarks) {
    EXPECT_EQ(marksPassed(klocka2_sync, 4350), 0);
    EXPECT_EQ(marksPassed(klocka2_sync, 4351), 1);
    EXPECT_EQ(marksPassed(klocka2_sync, 8340), 10);
    EXPECT_EQ(marksPassed(klocka2_sync, 8341), 11);
}

TEST(MarksPassed, EveryMillisecondOfTheClockSceneMatchesACount) {
    const std::vector<int32_t> big(klocka1_sync, klocka1_sync + 7);
    const std::vector<int32_t> small(klocka2_sync, klocka2_sync + 11);
    for (int32_t t = -5; t < 9000; ++t) {
        ASSERT_EQ(marksPassed(klocka1_sync, t), countBefore(big, t)) << "t=" << t;
        ASSERT_EQ(marksPassed(klocka2_sync, t), countBefore(small, t)) << "t=" << t;
    }
}

TEST(ActiveWindow, RadialAtWindowEnds) {
    EXPECT_FALSE(windowActive(radialsync, 68520, 68520));
    EXPECT_TRUE(windowActive(radialsync, 68521, 68521));
    EXPECT_TRUE(windowActive(radialsync, 68659, 68659));
    EXPECT_FALSE(windowActive(radialsync, 68660, 68660));
    EXPECT_EQ(windowPair(radialsync, 68660), 0);  // an end equal to t still chooses its pair
    EXPECT_EQ(windowPair(radialsync, 68661), 1);
    EXPECT_FALSE(windowActive(radialsync, 68661, 68661));
    EXPECT_EQ(windowPair(radialsync, 85281), 25);  // the sentinel pair
    EXPECT_FALSE(windowActive(radialsync, 85281, 85281));
    EXPECT_FALSE(windowActive(radialsync, 500000, 500000));
}

TEST(ActiveWindow, VoxelAtWindowEnds) {
    EXPECT_FALSE(windowActive(voxelsync, 51490, 51490));
    for (int32_t t = 51491; t <= 51629; ++t) EXPECT_TRUE(windowActive(voxelsync, t, t)) << t;
    EXPECT_FALSE(windowActive(voxelsync, 51630, 51630));
}

TEST(ActiveWindow, ThePairIsChosenWithTAndTestedWithU) {
    // t chooses pair 0; u inside pair 1 is not active, because the pair is not searched with u.
    EXPECT_FALSE(windowActive(voxelsync, 51600, 51800));
    // t past window 0's end chooses window 1; u still inside window 0 does not count.
    EXPECT_FALSE(windowActive(voxelsync, 51700, 51600));
    EXPECT_TRUE(windowActive(voxelsync, 51700, 51800));
}

TEST(ActiveWindow, EveryMillisecondMatchesALiteralSearch) {
    for (int32_t t = 50000; t < 87000; ++t) {
        ASSERT_EQ(windowActive(radialsync, t, t), insideAny(radialsync, 25, t)) << "t=" << t;
        ASSERT_EQ(windowActive(voxelsync, t, t), insideAny(voxelsync, 9, t)) << "t=" << t;
    }
}
