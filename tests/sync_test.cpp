// The music's time stamps: the tables' shape, and the two lookups against a literal search over
// the tables at every millisecond of their scenes.
#include <gtest/gtest.h>

#include <algorithm>

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

TEST(MarksPassed, EveryMillisecondOfTheSceneAndTheSentinel) {
    EXPECT_EQ(marksPassed(klocka1_sync, 300000), 7);  // the sentinel ends the scan
    const auto before = [](const int32_t* marks, int count, int32_t t) {
        return std::count_if(marks, marks + count, [t](int32_t m) { return m < t; });
    };
    for (int32_t t = -5; t < 9000; ++t) {
        ASSERT_EQ(marksPassed(klocka1_sync, t), before(klocka1_sync, 7, t)) << "t=" << t;
        ASSERT_EQ(marksPassed(klocka2_sync, t), before(klocka2_sync, 11, t)) << "t=" << t;
    }
}

TEST(ActiveWindow, ChoiceOfPairAndEveryMillisecondOfTheScenes) {
    // The pair is chosen with t, not with u: u in pair 1 while t chooses pair 0, u in window 0 while t
    // is past it, and both in pair 1.
    const struct { int32_t t, u; bool active; } cases[] = {{51600, 51800, false}, {51700, 51600, false},
                                                          {51700, 51800, true}};
    for (const auto& c : cases) EXPECT_EQ(windowActive(voxelsync, c.t, c.u), c.active) << "t=" << c.t << " u=" << c.u;
    EXPECT_FALSE(windowActive(radialsync, 500000, 500000));  // past the sentinel
    EXPECT_EQ(windowPair(radialsync, 68660), 0);  // an end equal to t still chooses its pair
    EXPECT_EQ(windowPair(radialsync, 68661), 1);
    EXPECT_EQ(windowPair(radialsync, 85281), 25);  // the sentinel pair
    const auto inside = [](const int32_t* windows, int pairs, int32_t u) {
        bool in = false;
        for (int p = 0; p < pairs; ++p) in |= windows[2 * p] < u && u < windows[2 * p + 1];
        return in;
    };
    for (int32_t t = 50000; t < 87000; ++t) {
        ASSERT_EQ(windowActive(radialsync, t, t), inside(radialsync, 25, t)) << "t=" << t;
        ASSERT_EQ(windowActive(voxelsync, t, t), inside(voxelsync, 9, t)) << "t=" << t;
    }
}
