// radial.cpp: the radial-blur scene: dot chains smeared outward from a centre near the top edge,
// then a silhouette stamped grey or black on the music's windows. Its only state is the frame.
#include <algorithm>

#include "2d/frame.h"
#include "effects.h"

// Channel-wise truncated mean of two pixels, top byte 0: (p + q) >> 1 per channel is
// (p >> 1) + (q >> 1) + (the carry both low bits make together).
static inline uint32_t meanPixel(uint32_t a, uint32_t b) {
    return ((a >> 1) & 0x7F7F7Fu) + ((b >> 1) & 0x7F7F7Fu) + (a & b & 0x010101u);
}

// The source of a coordinate: a fraction 1 / 2^s of its distance nearer to the centre, the
// distance rounded down.
static inline int towards(int v, int centre, int s) {
    return v <= centre ? v + ((centre - v) >> s) : v - ((v - centre) >> s);
}

// One pass over a quarter, rows and columns in visiting order (outward from the centre). The
// source of a pixel lies between it and the centre, so it has already been replaced in this pass
// unless it is the pixel itself: colour spreads outward within one call, and the order matters.
static void blurQuarter(uint32_t* frame, const int* sourceColumn, int cy, int s,
                        int rowFirst, int rowEnd, int rowStep, int colFirst, int colEnd, int colStep) {
    for (int y = rowFirst; y != rowEnd; y += rowStep) {
        uint32_t* row = frame + y * kWidth;
        const uint32_t* source = frame + towards(y, cy, s) * kWidth;
        for (int x = colFirst; x != colEnd; x += colStep) row[x] = meanPixel(row[x], source[sourceColumn[x]]);
    }
}

constexpr int kMaxShift = 31;  // any shift of 9 or more leaves every pixel its own source

// A centre outside the frame would make the passes start (and read) outside it, and a negative
// or huge shift is undefined: the centre is clamped into the frame and the shift into 0..31.
// A shift of 0 is kept as it falls: every pixel is averaged with the (already blurred) centre
// row or column pixel, which lies inside the frame.
void RadialBlur(uint32_t* frame, int cx, int cy, int s) {
    cx = std::clamp(cx, 0, kWidth - 1);
    cy = std::clamp(cy, 0, kHeight - 1);
    s = std::clamp(s, 0, kMaxShift);
    int sourceColumn[kWidth];  // the same for every row: computed once per call
    for (int x = 0; x < kWidth; ++x) sourceColumn[x] = towards(x, cx, s);

    blurQuarter(frame, sourceColumn, cy, s, cy, -1, -1, cx, -1, -1);                // upper left
    blurQuarter(frame, sourceColumn, cy, s, cy, -1, -1, cx + 1, kWidth, 1);         // upper right
    blurQuarter(frame, sourceColumn, cy, s, cy + 1, kHeight, 1, cx, -1, -1);        // lower left
    blurQuarter(frame, sourceColumn, cy, s, cy + 1, kHeight, 1, cx + 1, kWidth, 1); // lower right
}
