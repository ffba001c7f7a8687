// filledRectangle.h: the bottom-anchored bar that stops at what is already drawn. Defined here
// rather than in a file of its own code so that a caller with a fixed width gets the row's stores
// unrolled: the voxel landscape draws some 4,300 bars of five pixels a frame, and a loop over a
// width not known costs the device three times the stores themselves.
#pragma once
#include <cstdint>

#include "frame.h"

// Rows are visited top down. The call ends at the first row below the frame or whose leftmost
// pixel is already drawn: drawn nearest first over a cleared frame, a farther bar only shows where
// it rises above the nearer ones. Only one pixel per row is tested.
inline void PutFilledRectangle(uint32_t* frame, int16_t x, int16_t y, uint16_t w, uint16_t h, uint32_t colour) {
    const int16_t top = static_cast<int16_t>(y - h);  // wraps at 16 bits, as the row counter does
    if (top > y) return;
    const int right = x + w;  // computed at full width, so x + w never wraps
    for (int row = top; row <= y; ++row) {
        if (row > kHeight - 1) return;
        uint32_t* line = frame + row * kWidth;
        if (line[x] != 0) return;
        for (int col = x; col < right; ++col) line[col] = colour;
    }
}
