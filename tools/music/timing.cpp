// timing.cpp: the BPM planner over whole-frame ticks.
#include "timing.h"

#include <cstdlib>

std::vector<int> planBpm(const std::vector<int64_t>& rowEnds, int startBpm) {
    std::vector<int> bpms;
    bpms.reserve(rowEnds.size());
    int64_t now = 0;
    int current = startBpm;
    for (int64_t end : rowEnds) {
        int best = current;
        int64_t bestError = std::llabs(now + rowFrames(current) - end);
        for (int bpm = kMinBpm; bpm <= kMaxBpm; ++bpm) {
            const int64_t error = std::llabs(now + rowFrames(bpm) - end);
            if (error < bestError) {
                best = bpm;
                bestError = error;
            }
        }
        // A change worth less than a few frames is not worth a tempo command.
        if (std::llabs(now + rowFrames(current) - end) <= bestError + 8) best = current;
        bpms.push_back(best);
        now += rowFrames(best);
        current = best;
    }
    return bpms;
}

std::vector<int64_t> rowStarts(const std::vector<int>& bpms) {
    std::vector<int64_t> starts{0};
    for (int bpm : bpms) starts.push_back(starts.back() + rowFrames(bpm));
    return starts;
}
