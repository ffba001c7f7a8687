// flip_log.h: one record of the flip log that flip_log.cpp writes and the playback test reads.
#pragma once
#include <cstdint>

constexpr int kFlipGrid = 8;  // an 8 x 8 grid of pixels, spread over the 320 x 240 frame

// Column and row of the grid's i-th pixel, the middle of its cell.
constexpr int flipColumn(int i) { return (2 * (i % kFlipGrid) + 1) * 320 / (2 * kFlipGrid); }
constexpr int flipRow(int i) { return (2 * (i / kFlipGrid) + 1) * 240 / (2 * kFlipGrid); }

struct FlipRecord {
    int64_t nanoseconds;  // CLOCK_MONOTONIC just after the flip returned
    uint32_t pixels[kFlipGrid * kFlipGrid];
};
