// plasma.cpp: the plasma-warp scenes: a 256 x 256 picture looked up through the warp maps, alone
// (effect9) or behind a portrait blended in by its alpha (effect2, effect12), and PutChick.
#include "plasma.h"

#include <bit>
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

// The warp maps as words of four neighbouring bytes, once for each of the four places a word may
// start: word q of copy s holds map bytes 4q + s to 4q + s + 3, the first of them in its lowest
// byte. So any four neighbouring readings of a map are one aligned word (the device's ARMv5 reads
// no unaligned word), and the bare plasma takes the means of four pixels at once. 2 MB, copied
// once; the last word of a shifted copy runs past the map, into bytes no scene's row reaches.
static_assert(std::endian::native == std::endian::little, "a word's first byte is its lowest");
constexpr int kMapWords = kMapSize * kMapSize / 4;
uint32_t xmapWords[4][kMapWords];
uint32_t ymapWords[4][kMapWords];

void copyMapWords(uint32_t (&words)[4][kMapWords], const uint8_t* map) {
    for (int s = 0; s < 4; ++s) std::memcpy(words[s], map + s, sizeof words[s] - s);
}

// The four readings of a map from byte `at` on, as one word.
inline const uint32_t* mapWordsAt(const uint32_t (&words)[4][kMapWords], int at) { return words[at & 3] + (at >> 2); }

// The truncated means of four byte pairs at once: no byte's sum reaches the next byte.
inline uint32_t meanBytes(uint32_t a, uint32_t b) { return (a & b) + (((a ^ b) >> 1) & 0x7F7F7F7Fu); }

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
        // u = (Y(y+k4, x+k2) + X(y+k1, x+k3)) >> 1 and v = (X(y+k3, x+k1) + Y(y+k2, x+k4)) >> 1
        const int yuAt = (y + k4) * kMapSize + k2, xuAt = (y + k1) * kMapSize + k3;
        const int xvAt = (y + k3) * kMapSize + k1, yvAt = (y + k2) * kMapSize + k4;
        const uint8_t *yu = ymap + yuAt, *xu = xmap + xuAt, *xv = xmap + xvAt, *yv = ymap + yvAt;
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
            case Cover::bare: {  // the plasma alone, four pixels from one word of each map row
                const uint32_t* yuw = mapWordsAt(ymapWords, yuAt + run.start);
                const uint32_t* xuw = mapWordsAt(xmapWords, xuAt + run.start);
                const uint32_t* xvw = mapWordsAt(xmapWords, xvAt + run.start);
                const uint32_t* yvw = mapWordsAt(ymapWords, yvAt + run.start);
                uint32_t* to = out + run.start;
                const int fours = run.length >> 2;
                for (int i = 0; i < fours; ++i, to += 4) {
                    const uint32_t u = meanBytes(yuw[i], xuw[i]);
                    const uint32_t v = meanBytes(xvw[i], yvw[i]);
                    to[0] = plasma[(u & 0xFF) << 8 | (v & 0xFF)];
                    to[1] = plasma[(u & 0xFF00) | (v >> 8 & 0xFF)];
                    to[2] = plasma[(u >> 8 & 0xFF00) | (v >> 16 & 0xFF)];
                    to[3] = plasma[(u >> 16 & 0xFF00) | v >> 24];
                }
                for (int x = run.start + 4 * fours; x < end; ++x) out[x] = plasma[plasmaAt(yu, xu, xv, yv, x)];
                break;
            }
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

// The plasma scenes' pictures and the maps' words, made once.
void effect9_init() {
    copyMapWords(xmapWords, xmap);
    copyMapWords(ymapWords, ymap);
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
