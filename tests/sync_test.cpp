// The music's time stamps: the tables' shape, and the lookups at the edges the scenes meet (the
// frame checksums hold the scenes that use them).
#include <gtest/gtest.h>

#include "effects/sync.h"

TEST(SyncTables, MarksAndWindowsLieInTheirScenesInOrder) {
    // Marks (stride 1): every step between neighbours in lo..hi. Windows (stride 2): every length in
    // lo..hi, and each window starts after the one before ends. All inside the scene's first..last.
    struct List { const int32_t* at; int count, stride, lo, hi; int32_t first, last; };
    const List lists[] = {{klocka1_sync, 7, 1, 1060, 1070, 0, 8799}, {klocka2_sync, 11, 1, 390, 410, 0, 8799},
                          {radialsync, 50, 2, 130, 160, 68500, 85299}, {voxelsync, 18, 2, 130, 160, 51000, 59599}};
    for (const List& l : lists) {
        EXPECT_TRUE(l.at[l.count] == 300000 && (l.stride == 1 || l.at[l.count + 1] == 500000)) << "sentinel";
        EXPECT_TRUE(l.at[0] >= l.first && l.at[l.count - 1] <= l.last) << l.at[0];
        for (int i = 1; i < l.count; ++i) {
            const int32_t step = l.at[i] - l.at[i - 1];
            const bool lengthOrStep = l.stride == 1 || i % 2 == 1;
            EXPECT_TRUE(lengthOrStep ? step >= l.lo && step <= l.hi : step > 0) << l.at[i - 1] << " to " << l.at[i];
        }
    }
}

TEST(Lookups, AMarkOrAnEndEqualToTCountsAsNotPassedAndThePairIsChosenWithT) {
    // A mark equal to t is not passed yet; one before it is; the sentinel ends the scan.
    EXPECT_EQ(marksPassed(klocka1_sync, klocka1_sync[0] - 1), 0);
    EXPECT_EQ(marksPassed(klocka1_sync, klocka1_sync[0]), 0);
    EXPECT_EQ(marksPassed(klocka1_sync, klocka1_sync[0] + 1), 1);
    EXPECT_EQ(marksPassed(klocka2_sync, klocka2_sync[10] + 1), 11);
    EXPECT_EQ(marksPassed(klocka1_sync, 300000), 7);
    // The pair is chosen with t, not with u: u in pair 1 while t chooses pair 0, u in window 0 while t
    // is past it, and both in pair 1; a window's own ends are outside it.
    const struct { int32_t t, u; bool active; } cases[] = {{51600, 51800, false}, {51700, 51600, false},
                                                          {51700, 51800, true}};
    for (const auto& c : cases) EXPECT_EQ(windowActive(voxelsync, c.t, c.u), c.active) << "t=" << c.t << " u=" << c.u;
    EXPECT_FALSE(windowActive(radialsync, radialsync[0], radialsync[0]));
    EXPECT_TRUE(windowActive(radialsync, radialsync[0] + 1, radialsync[0] + 1));
    EXPECT_FALSE(windowActive(radialsync, radialsync[1], radialsync[1]));
    EXPECT_FALSE(windowActive(radialsync, 500000, 500000));  // past the sentinel
    EXPECT_EQ(windowPair(radialsync, 68660), 0);  // an end equal to t still chooses its pair
    EXPECT_EQ(windowPair(radialsync, 68661), 1);
    EXPECT_EQ(windowPair(radialsync, 85281), 25);  // the sentinel pair
}
