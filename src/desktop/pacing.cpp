// pacing.cpp: the frame pacing's busy wait.
#include "pacing.h"

// The empty iterations are the wait itself: each stores to a volatile, so none can be removed.
static volatile int gSpinSink;

static void spin(int iterations) {
    for (int i = 0; i < iterations; ++i) gSpinSink = i;
}

PaceCount paceFrame(int32_t last, ClockRead now) {
    PaceCount count{0, 0};
    if (now() == last) return count;  // the clock has not moved: no wait
    for (int k = 0;; ++k) {
        // The clock never runs backwards and has moved, so the difference is at least 1.
        const int32_t q = 1000 / (now() - last);
        if (q <= k) {
            count.passes = k;
            return count;
        }
        const int iterations = k % 5 == 0 ? 15 : 10;
        spin(iterations);
        count.spins += iterations;
    }
}
