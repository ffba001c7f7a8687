// flip_log.h: one record of the flip log that flip_log.cpp writes and the playback test reads.
#pragma once
#include <cstdint>

constexpr int kFlipGrid = 8;  // an 8 x 8 grid of pixels, spread over the 320 x 240 frame
constexpr int kCellWidth = 320 / kFlipGrid, kCellHeight = 240 / kFlipGrid;

struct FlipRecord {
    int64_t nanoseconds;  // CLOCK_MONOTONIC just after the flip returned
    uint32_t keys;        // key presses put into SDL's queue so far, the latest just after this flip
    uint32_t pixels[kFlipGrid * kFlipGrid];
};

// The grid's pixels, each the middle of its cell, of a 320 x 240 frame whose rows are `pitch` bytes apart.
inline FlipRecord sampleGrid(const void* frame, int pitch) {
    FlipRecord record{};
    for (int i = 0; i < kFlipGrid * kFlipGrid; ++i)
        record.pixels[i] = static_cast<const uint32_t*>(frame)[(i / kFlipGrid * kCellHeight + kCellHeight / 2) * (pitch / 4) +
                                                               i % kFlipGrid * kCellWidth + kCellWidth / 2];
    return record;
}
