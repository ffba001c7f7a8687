// Frame pacing driven by a simulated clock: how many passes and empty iterations the wait makes.
#include <gtest/gtest.h>

#include <vector>

#include "main/pacing.h"

namespace {

// The simulated clock: each read returns the next scripted value, then repeats the last one.
std::vector<int32_t> gReads;
size_t gNext;
int gReadCount;

int32_t scriptedClock() {
    ++gReadCount;
    const int32_t value = gReads[gNext < gReads.size() ? gNext : gReads.size() - 1];
    if (gNext < gReads.size()) ++gNext;
    return value;
}

PaceCount pace(int32_t last, std::vector<int32_t> reads) {
    gReads = std::move(reads);
    gNext = 0;
    gReadCount = 0;
    return paceFrame(last, scriptedClock);
}

}  // namespace

TEST(Pacing, NoWaitWhenTheClockHasNotMoved) {
    const PaceCount count = pace(500, {500});
    EXPECT_EQ(count.passes, 0);
    EXPECT_EQ(count.spins, 0);
    EXPECT_EQ(gReadCount, 1) << "only the first read is needed to see the clock stand still";
}

TEST(Pacing, NoEmptyIterationAfterMoreThanASecond) {
    const PaceCount count = pace(0, {1001, 1001});
    EXPECT_EQ(count.passes, 0);
    EXPECT_EQ(count.spins, 0);
}

TEST(Pacing, OneMillisecondStandingStillMakesAThousandPasses) {
    const PaceCount count = pace(7, {8});
    EXPECT_EQ(count.passes, 1000);
    // Passes 0, 5, 10, ... run 15 empty iterations, the others 10.
    EXPECT_EQ(count.spins, 200 * 15 + 800 * 10);
}

TEST(Pacing, TheWaitEndsWhenTheRateFallsToThePassCount) {
    // 1000 / 10 = 100 for passes 0 to 2; then 1000 / 250 = 4, still above pass 3 and reached at 4.
    const PaceCount count = pace(0, {10, 10, 10, 10, 250});
    EXPECT_EQ(count.passes, 4);
    EXPECT_EQ(count.spins, 15 + 10 + 10 + 10);
}

TEST(Pacing, EachPassReadsTheClockAgain) {
    // 1000 / 2 = 500 while the clock shows 2 ms, then 1000 / 400 = 2 ends the wait at k = 2.
    const PaceCount count = pace(100, {102, 102, 102, 500});
    EXPECT_EQ(count.passes, 2);
    EXPECT_EQ(gReadCount, 4);
}
