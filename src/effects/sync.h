// sync.h: compiled-in time stamps of "musa.xm" (milliseconds of show time) and their two lookups.
#pragma once
#include <cstdint>

constexpr int32_t kSyncSentinel = 300000;      // ends the mark lists and starts the last window pair
constexpr int32_t kSyncSentinelEnd = 500000;

extern const int32_t klocka1_sync[8];   // big dial: 7 marks and the sentinel
extern const int32_t klocka2_sync[12];  // small dial: 11 marks and the sentinel
extern const int32_t radialsync[52];    // 25 (start, end) windows and the sentinel pair
extern const int32_t voxelsync[20];     // 9 (start, end) windows and the sentinel pair

// Number of marks strictly earlier than t; a mark equal to t does not count yet. t <= 300000.
int marksPassed(const int32_t* marks, int32_t t);

// Index of the first pair whose end is not earlier than t (pairs are start, end). t <= 500000.
int windowPair(const int32_t* windows, int32_t t);

// Whether u lies strictly inside the pair chosen with t.
bool windowActive(const int32_t* windows, int32_t t, int32_t u);
