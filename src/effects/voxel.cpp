// voxel.cpp: the voxel landscape: 64 strips of the height map drawn as bars nearest first, each
// stopping on nearer terrain, with the sky picture behind; the bars surge on the music's windows.
#include <algorithm>

#include "2d/2d.h"
#include "2d/frame.h"
#include "assets/pictures.h"
#include "effects.h"
#include "pictureCopy.h"
#include "sync.h"
#include "tables.h"

namespace {

constexpr int kStrips = 64;         // one height-map row per strip
constexpr int kStripWidth = 5;      // 64 x 5 = 320 columns
constexpr int kDepthStep = 3;       // d = 0, 3, ..., 198: 67 depths
constexpr int kFarthestDepth = 198;
constexpr int kGroundRow = 290;     // bottom row of the nearest bar, below the frame
constexpr int kLowestHeight = 20;   // reduced heights below this are raised to it
constexpr int kMsPerColumn = 5;     // the terrain moves one map column deeper every 5 ms
constexpr int kColumnBias = 300000; // keeps d - s positive before the wrap at 2048
constexpr int kSkyRows = 100;       // upper: 320 x 100

uint32_t skyWords[kWidth * kSkyRows];  // the sky picture as frame words, converted once

}  // namespace

void prepareVoxelSky() { toFrameWords(skyWords, upper, kWidth * kSkyRows); }

void effect4(uint32_t* frame, int32_t t) {
    const int s = t / kMsPerColumn;
    const int rounded = kMsPerColumn * s;  // the surge compares t rounded down to 5 ms ...
    const int pair = windowPair(voxelsync, t);  // ... inside the pair chosen with t itself
    const bool surge = voxelsync[2 * pair] < rounded && rounded < voxelsync[2 * pair + 1];

    Clear(frame, 0);  // the bars stop on anything non-zero, so they need a black start
    for (int n = 0; n < kStrips; ++n) {
        const uint8_t* heights = voxelmap + n * kVoxelColumns;
        for (int d = 0; d <= kFarthestDepth; d += kDepthStep) {  // nearest first: nearer bars hide farther ones
            const int h = heights[(d - s + kColumnBias) & (kVoxelColumns - 1)];
            int g = h - (d >> 1);
            if (g < kLowestHeight) g = kLowestHeight;
            if (surge) g += g >> 1;
            // 255 h + 255 = (h << 8) | (255 - h): green rises, blue falls with height; never 0.
            PutFilledRectangle(frame, static_cast<int16_t>(kStripWidth * n),
                               static_cast<int16_t>(kGroundRow - d), kStripWidth,
                               static_cast<uint16_t>(g >> 2), 255u * h + 255u);
        }
    }

    // The sky fills only what the terrain left black (bars never reach above row 34). A bar is a
    // whole strip wide, so a strip's row is drawn or black all through: its first pixel tells, and
    // the device tests one pixel in five. The five words are copied by a loop of known length,
    // which the compiler writes out: std::copy_n became a call of the C library's memmove for each
    // strip's row, some 40 instructions on the device to move five words, 6,000 times a frame.
    for (int i = 0; i < kWidth * kSkyRows; i += kStripWidth)
        if (frame[i] == 0)
            for (int k = 0; k < kStripWidth; ++k) frame[i + k] = skyWords[i + k];
}
