// plasma.cpp: the plasma-warp scenes: a 256 x 256 picture looked up through the warp maps, alone
// (effect9) or behind a portrait blended in by its alpha (effect2, effect12), and PutChick.
#include "plasma.h"

#include <cstring>

#include "2d/2d.h"
#include "2d/blend.h"
#include "2d/frame.h"
#include "assets/pictures.h"
#include "effects.h"
#include "pictureCopy.h"
#include "tables.h"

namespace {

constexpr uint32_t kBelowShowsPlasma = 10;   // alpha below this: the plasma alone
constexpr uint32_t kFromShowsPicture = 240;  // alpha from this on: the picture alone
constexpr int kPlasmaPixels = kPlasmaSize * kPlasmaSize;

// The plasma pictures as frame words, converted once: the scenes look them up at random, and a
// lookup is then a single read of one word.
uint32_t plasmaWords[kPlasmaPixels];   // plasmapic
uint32_t plasmaWords2[kPlasmaPixels];  // plasmapic2

Portrait portrait;   // demogirl
Portrait portrait2;  // demogirl2

// The plasma's index u * 256 + v at one pixel: u and v the truncated means of two map readings each.
inline uint32_t plasmaAt(const uint8_t* yu, const uint8_t* xu, const uint8_t* xv, const uint8_t* yv, int x) {
    return ((yu[x] + xu[x]) >> 1) << 8 | (xv[x] + yv[x]) >> 1;
}

// Picture P over the plasma picture Q warped through both maps, with four window offsets into the
// 512 x 512 maps that wander with t. Each run of a row is drawn as its cover says, the plasma
// looked up where it shows and nowhere else: over the second portrait, the most plasma of any
// frame, this is what keeps the frame within the device's budget.
void plasmaBehind(uint32_t* frame, int32_t t, const Portrait& picture, const uint32_t* plasma) {
    // Truncating divisions, once per frame. k1, k3 lie in 64..191 and k2, k4 in 64..192, so
    // rows reach at most 239 + 192 = 431 and columns 319 + 192 = 511: inside the maps.
    const int k1 = (S(t / 7) >> 2) + 128;
    const int k2 = (C(t / 8) >> 2) + 128;
    const int k3 = (S(t / 9) >> 2) + 128;
    const int k4 = (C(t / 10) >> 2) + 128;
    for (int y = 0; y < kHeight; ++y) {
        const uint8_t* yu = ymap + (y + k4) * kMapSize + k2;  // u = (Y(y+k4, x+k2) + X(y+k1, x+k3)) >> 1
        const uint8_t* xu = xmap + (y + k1) * kMapSize + k3;
        const uint8_t* xv = xmap + (y + k3) * kMapSize + k1;  // v = (X(y+k3, x+k1) + Y(y+k2, x+k4)) >> 1
        const uint8_t* yv = ymap + (y + k2) * kMapSize + k4;
        uint32_t* out = frame + y * kWidth;
        const uint32_t* words = picture.words.data() + y * kWidth;
        const uint8_t* alpha = picture.picture + 4 * y * kWidth + 3;
        for (uint32_t r = picture.cover.rowRuns[y]; r < picture.cover.rowRuns[y + 1]; ++r) {
            const CoverRun& run = picture.cover.runs[r];
            const int end = run.start + run.length;
            switch (run.cover) {
            case Cover::covered:  // the picture alone
                std::memcpy(out + run.start, words + run.start, run.length * sizeof(uint32_t));
                break;
            case Cover::bare:  // the plasma alone: unrolled, a test and a branch in four pixels
#pragma GCC unroll 4
                for (int x = run.start; x < end; ++x) out[x] = plasma[plasmaAt(yu, xu, xv, yv, x)];
                break;
            case Cover::mixed:
                for (int x = run.start; x < end; ++x) out[x] = blendOver(words[x], alpha[4 * x], plasma[plasmaAt(yu, xu, xv, yv, x)]);
                break;
            }
        }
    }
}

}  // namespace

void preparePortrait(Portrait& prepared, const uint8_t* picture) {
    prepared.picture = picture;
    prepared.words.resize(kPixels);
    toFrameWords(prepared.words.data(), picture, kPixels);
    prepared.cover = findCoverRuns(picture, kBelowShowsPlasma, kFromShowsPicture);
}

// The plasma scenes' pictures, converted once.
void effect9_init() {
    toFrameWords(plasmaWords, plasmapic, kPlasmaPixels);
    toFrameWords(plasmaWords2, plasmapic2, kPlasmaPixels);
    preparePortrait(portrait, demogirl);
    preparePortrait(portrait2, demogirl2);
}

// The plasma alone: one row every 8 ms and one column every 16 ms, wrapping at 256, so t and
// t + 4096 draw the same frame.
void effect9(uint32_t* frame, int32_t t) {
    const int rowShift = t >> 3;
    const int columnShift = t >> 4;
    for (int y = 0; y < kHeight; ++y) {
        const uint8_t* yrow = ymap + y * kMapSize;
        const uint8_t* xrow = xmap + y * kMapSize;
        uint32_t* out = frame + y * kWidth;
        // Index u * 256 + v of u = Y(y, x) + rowShift and v = X(y, x) + columnShift, both wrapped
        // at 256, looked up at once: a pass of its own through an array of indices cost the
        // device a fifth more. Unrolled, the loop's own test and branch come once in four pixels.
#pragma GCC unroll 4
        for (int x = 0; x < kWidth; ++x)
            out[x] = plasmaWords2[((yrow[x] + rowShift) & 0xFF) << 8 | ((xrow[x] + columnShift) & 0xFF)];
    }
}

void effect2(uint32_t* frame, int32_t t) { plasmaBehind(frame, t, portrait, plasmaWords); }

void effect12(uint32_t* frame, int32_t t) { plasmaBehind(frame, t, portrait2, plasmaWords2); }

void PutChick(uint32_t* frame) { PutMaskedPicture(frame, demogirl); }
