// pacing.h: the frame pacing, a counted busy wait between clock reads.
#pragma once
#include <cstdint>

using ClockRead = int32_t (*)();

struct PaceCount {
    int passes;   // times the wait went round (k when it ended)
    int spins;    // empty iterations run in all
};

// Waits after a frame whose previous time stamp was last. q = 1000 / elapsed is the frame rate
// the frame would have if it ended now; the wait ends once the pass counter reaches it, so it is
// short and CPU-bound, and none at all when more than 1000 ms have passed. No sleep, no yield.
PaceCount paceFrame(int32_t last, ClockRead now);
