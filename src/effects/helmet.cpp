// helmet.cpp: the helmet picture with a live wave line that continues the one painted into it.
#include "effects.h"

#include <cstring>

#include "2d/frame.h"
#include "assets/pictures.h"
#include "pictureCopy.h"
#include "tables.h"

namespace {

constexpr int kFirstColumn = 73;  // (73, 109) lies on the line painted into the helmet
constexpr int kLastColumn = 233;
constexpr int kBaseRow = 109;
constexpr uint32_t kWaveColour = 0xCCCCCC;

uint32_t helmetWords[kPixels];  // the helmet picture as frame words, converted once

// The entry at k * t + c: reducing t to one turn first keeps k * t from overflowing at any time.
int sineAt(int k, int32_t t, int c) { return sine[(k * turnIndex(t) + c) % kTurn]; }

}  // namespace

void effect8_init() { toFrameWords(helmetWords, helmet, kPixels); }

void effect8(uint32_t* frame, int32_t t) {
    std::memcpy(frame, helmetWords, sizeof helmetWords);  // the helmet, alpha skipped
    for (int x = kFirstColumn; x <= kLastColumn; ++x) {
        const int a = sineAt(732, t, x);
        const int b = sineAt(190, t, 5 * x);
        const int d = sineAt(109, t, 30 * x);
        // The envelope: 0 at the left end, which stays pinned to the painted line, 255 mid-way.
        const int e = sine[3 * x - 219];
        const int w = (a >> 4) + (b >> 4) + (d >> 6);  // arithmetic shifts: -36..33
        const int y = kBaseRow + (w * e) / 256 - (e >> 5);  // division truncates toward zero
        frame[y * kWidth + x] = kWaveColour;
    }
}
