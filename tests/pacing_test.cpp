// Frame pacing driven by a simulated clock: how many passes and empty iterations the wait makes.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "desktop/pacing.h"

namespace {

// The simulated clock: each read returns the next scripted value, then repeats the last one.
std::vector<int32_t> gReads;
size_t gReadCount;

int32_t scriptedClock() { return gReads[std::min(gReadCount++, gReads.size() - 1)]; }

}  // namespace

TEST(Pacing, PassesSpinsAndClockReads) {
    const struct { int32_t last; std::vector<int32_t> reads; int passes, spins; size_t readCount; } cases[] = {
        {500, {500}, 0, 0, 1},      // the clock stands still: one read shows it, no wait
        {0, {1001, 1001}, 0, 0, 0},  // more than a second: no empty iteration
        // One millisecond standing still: 1000 passes; passes 0, 5, 10, ... spin 15 times, the others 10.
        {7, {8}, 1000, 200 * 15 + 800 * 10, 0},
        // 1000 / 10 = 100 for passes 0 to 2; then 1000 / 250 = 4, still above pass 3 and reached at 4.
        {0, {10, 10, 10, 10, 250}, 4, 15 + 10 + 10 + 10, 0},
        // Each pass reads the clock again: 1000 / 2 = 500 while it shows 2 ms, then 1000 / 400 = 2 ends at pass 2.
        {100, {102, 102, 102, 500}, 2, -1, 4},
    };
    for (const auto& c : cases) {
        gReads = c.reads;
        gReadCount = 0;
        const PaceCount count = paceFrame(c.last, scriptedClock);
        EXPECT_EQ(count.passes, c.passes) << "from " << c.last;
        if (c.spins >= 0) { EXPECT_EQ(count.spins, c.spins) << "from " << c.last; }
        if (c.readCount > 0) { EXPECT_EQ(gReadCount, c.readCount) << "from " << c.last; }
    }
}
