// radial.cpp: the radial-blur scene: dot chains smeared outward from a centre near the top edge,
// then a silhouette stamped grey or black on the music's windows. Its only state is the frame.
#include <algorithm>
#include <vector>

#include "2d/frame.h"
#include "assets/pictures.h"
#include "effects.h"
#include "sync.h"
#include "tables.h"

// Channel-wise truncated mean of two pixels, top byte 0: (p + q) >> 1 per channel is
// (p & q) + ((p ^ q) >> 1), since p + q = 2 (p & q) + (p ^ q). A step fewer on the device than
// halving each and adding the carry of the low bits.
static inline uint32_t meanPixel(uint32_t a, uint32_t b) {
    return (a & b & 0xFFFFFFu) + (((a ^ b) >> 1) & 0x7F7F7Fu);
}

// The source of a coordinate: a fraction 1 / 2^s of its distance nearer to the centre, the
// distance rounded down.
static inline int towards(int v, int centre, int s) {
    return v <= centre ? v + ((centre - v) >> s) : v - ((v - centre) >> s);
}

// One row of a pass whose source row is the row itself: pixel after pixel in visiting order,
// since each may read the one just replaced.
static void blurRowInPlace(uint32_t* row, const int* sourceColumn, int colFirst, int colEnd, int colStep) {
    for (int x = colFirst; x != colEnd; x += colStep) row[x] = meanPixel(row[x], row[sourceColumn[x]]);
}

// n pixels averaged with n pixels of another row: no order within, so the compiler vectorises it.
static void meanRun(uint32_t* __restrict out, const uint32_t* __restrict source, int n) {
    for (int i = 0; i < n; ++i) out[i] = meanPixel(out[i], source[i]);
}

// One row of a pass whose source row is another row, already replaced in this pass. Along the
// row the source column lies k columns nearer the centre, with k the same for every run of 2^s
// columns: each run is averaged with a contiguous run of the source row.
static void blurRowFromRow(uint32_t* row, const uint32_t* source, int cx, int s, bool leftOfCentre) {
    const int run = s >= 9 ? 512 : 1 << s;  // 2^s, no wider than needed: distances are below 320
    if (leftOfCentre) {  // columns cx .. 0, distance d = cx - x, source x + (d >> s)
        for (int k = 0; k * run <= cx; ++k) {
            const int nearest = cx - k * run, farthest = std::max(cx - (k + 1) * run + 1, 0);
            meanRun(row + farthest, source + farthest + k, nearest - farthest + 1);
        }
    } else {  // columns cx + 1 .. 319, distance d = x - cx, source x - (d >> s)
        for (int k = 0; cx + std::max(k * run, 1) < kWidth; ++k) {
            const int nearest = cx + std::max(k * run, 1), farthest = std::min(cx + (k + 1) * run - 1, kWidth - 1);
            meanRun(row + nearest, source + nearest - k, farthest - nearest + 1);
        }
    }
}

// One pass over a quarter, rows in visiting order (outward from the centre). The source of a
// pixel lies between it and the centre, so it has already been replaced in this pass unless it is
// the pixel itself: colour spreads outward within one call, and the order matters.
static void blurQuarter(uint32_t* frame, const int* sourceColumn, int cx, int cy, int s,
                        int rowFirst, int rowEnd, int rowStep, bool leftOfCentre) {
    const int colFirst = leftOfCentre ? cx : cx + 1;
    const int colEnd = leftOfCentre ? -1 : kWidth;
    const int colStep = leftOfCentre ? -1 : 1;
    for (int y = rowFirst; y != rowEnd; y += rowStep) {
        uint32_t* row = frame + y * kWidth;
        const int sourceRow = towards(y, cy, s);
        if (sourceRow == y) {
            blurRowInPlace(row, sourceColumn, colFirst, colEnd, colStep);
        } else {
            blurRowFromRow(row, frame + sourceRow * kWidth, cx, s, leftOfCentre);
        }
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

    blurQuarter(frame, sourceColumn, cx, cy, s, cy, -1, -1, true);        // upper left
    blurQuarter(frame, sourceColumn, cx, cy, s, cy, -1, -1, false);       // upper right
    blurQuarter(frame, sourceColumn, cx, cy, s, cy + 1, kHeight, 1, true);   // lower left
    blurQuarter(frame, sourceColumn, cx, cy, s, cy + 1, kHeight, 1, false);  // lower right
}

namespace {

constexpr int kChains = 5;
constexpr int kDotsPerChain = 50;
constexpr uint32_t kEvenChainColour = 0x22FFFF;  // chains 2 and 4: two pixels side by side
constexpr uint32_t kOddChainColour = 0xFF22FF;   // chains 1, 3 and 5: two pixels one above the other
constexpr int kBlurRow = 5;                      // the centre sits near the top edge
constexpr int kBlurShift = 4;                    // each pixel pulls from 1/16 of the way in
constexpr int kStampLeft = 80, kStampRight = 259, kStampTop = 50, kStampBottom = 239;
constexpr uint32_t kStampLit = 0x999999;         // inside a radialsync window; black outside

// A run of the silhouette in one row: pixels start .. start + length - 1 of frame row `row`.
struct StampRun {
    int row, start, length;
};

std::vector<StampRun> stampRuns;  // the silhouette's marked pixels inside the stamp's box, found once

// t * j as a 32-bit product that wraps instead of overflowing, then an arithmetic shift.
int scaledTime(int32_t t, int j, int shift) {
    return static_cast<int32_t>(static_cast<uint32_t>(t) * static_cast<uint32_t>(j)) >> shift;
}

}  // namespace

// The stamp's box cut into runs of marked pixels: a pixel is marked where the silhouette's blue
// byte is not 0.
void effect7_init() {
    stampRuns.clear();
    for (int y = kStampTop; y <= kStampBottom; ++y) {
        const uint8_t* blue = silhouette + y * kWidth * 4 + 2;
        for (int x = kStampLeft; x <= kStampRight; ++x) {
            if (blue[4 * x] == 0) continue;
            int end = x + 1;
            while (end <= kStampRight && blue[4 * end] != 0) ++end;
            stampRuns.push_back({y, x, end - x});
            x = end;
        }
    }
}

void effect7(uint32_t* frame, int32_t t) {
    const bool lit = windowActive(radialsync, t, t);

    for (int j = 1; j <= kChains; ++j) {  // chain j moves j times as fast as chain 1
        const int across = scaledTime(t, j, 3), down = scaledTime(t, j, 2);
        for (int i = 0; i < kDotsPerChain; ++i) {
            const int a = 150 * j + 2 * i;
            const int x = 160 + (S(a + across) >> 2);  // 96..223
            const int y = 54 + (C(a + down) >> 3);     // 22..86
            uint32_t* at = frame + y * kWidth + x;
            if (j % 2 == 0) {
                at[0] = at[1] = kEvenChainColour;
            } else {
                at[0] = at[kWidth] = kOddChainColour;
            }
        }
    }

    RadialBlur(frame, 160 + (S((t >> 3) + 400) >> 1), kBlurRow, kBlurShift);  // centre column 32..287

    // Every marked pixel of the silhouette's box takes the stamp's colour.
    const uint32_t stamp = lit ? kStampLit : 0;
    for (const StampRun& run : stampRuns) std::fill_n(frame + run.row * kWidth + run.start, run.length, stamp);
}
