// sync.cpp: the music's time stamps, timed to "musa.xm". A different module needs its own stamps.
#include "sync.h"

const int32_t klocka1_sync[8] = {1080, 2140, 3200, 4270, 5330, 6400, 7460, kSyncSentinel};

const int32_t klocka2_sync[12] = {4350, 4750, 5140, 5550, 5940, 6350,
                                  6740, 7150, 7540, 7950, 8340, kSyncSentinel};

const int32_t radialsync[52] = {
    68520, 68660, 69190, 69340, 69720, 69860, 70650, 70790, 71310, 71470,
    71850, 71990, 72780, 72930, 73440, 73600, 73980, 74120, 74910, 75050,
    75570, 75730, 76100, 76250, 77030, 77180, 77700, 77860, 78230, 78380,
    79170, 79310, 79830, 79980, 80360, 80510, 81290, 81440, 81960, 82120,
    82490, 82640, 83420, 83570, 84090, 84240, 84620, 84760, 85150, 85280,
    kSyncSentinel, kSyncSentinelEnd};

const int32_t voxelsync[20] = {
    51490, 51630, 51760, 51910, 52030, 52180, 53620, 53770, 53890, 54040,
    54150, 54310, 55750, 55900, 56020, 56170, 56280, 56430,
    kSyncSentinel, kSyncSentinelEnd};

int marksPassed(const int32_t* marks, int32_t t) {
    int n = 0;
    while (marks[n] < t) ++n;  // the sentinel stops the scan
    return n;
}

int windowPair(const int32_t* windows, int32_t t) {
    int pair = 0;
    while (windows[2 * pair + 1] < t) ++pair;  // the sentinel pair's end stops the scan
    return pair;
}

bool windowActive(const int32_t* windows, int32_t t, int32_t u) {
    const int pair = windowPair(windows, t);
    return windows[2 * pair] < u && u < windows[2 * pair + 1];
}
