// plasma.cpp: the plasma-warp scenes: a 256 x 256 picture looked up through the warp maps, alone
// (effect9) or behind a portrait blended in by its alpha (effect2, effect12), and PutChick.
#include <bit>
#include <cstring>

#include "2d/2d.h"
#include "2d/frame.h"
#include "assets/pictures.h"
#include "effects.h"
#include "plasma.h"
#include "tables.h"

namespace {

constexpr int kPlasmaSize = 256;  // plasmapic and plasmapic2: 256 x 256, rows and columns wrap at 256
constexpr int kBelowShowsPlasma = 10;   // alpha below this: the plasma alone
constexpr int kFromShowsPicture = 240;  // alpha from this on: the picture alone

// A picture pixel packed as 0x00RRGGBB. On a little-endian machine one word load holds
// R | G << 8 | B << 16 | A << 24; swapping red and blue in place packs it without byte loads.
inline uint32_t packAt(const uint8_t* rgba) {
    if constexpr (std::endian::native == std::endian::little) {
        uint32_t w;
        std::memcpy(&w, rgba, 4);
        return ((w & 0xFFu) << 16) | (w & 0xFF00u) | ((w >> 16) & 0xFFu);
    } else {
        return packPixel(rgba);
    }
}

// A table entry for any integer index, negative ones included (the show only passes positive ones).
inline int S(int n) { return sine[((n % kTurn) + kTurn) % kTurn]; }
inline int C(int n) { return cose[((n % kTurn) + kTurn) % kTurn]; }

// Picture P (320 x 240, alpha used) over the plasma picture Q warped through both maps, with four
// window offsets into the 512 x 512 maps that wander with t.
void plasmaBehind(uint32_t* frame, int32_t t, const uint8_t* picture, const uint8_t* plasmaPicture) {
    // Truncating divisions, once per frame. k1, k3 lie in 64..191 and k2, k4 in 64..192, so
    // rows reach at most 239 + 192 = 431 and columns 319 + 192 = 511: inside the maps.
    const int k1 = (S(t / 7) >> 2) + 128;
    const int k2 = (C(t / 8) >> 2) + 128;
    const int k3 = (S(t / 9) >> 2) + 128;
    const int k4 = (C(t / 10) >> 2) + 128;
    uint32_t plasma[kWidth];
    for (int y = 0; y < kHeight; ++y) {
        const uint8_t* yu = ymap + (y + k4) * kMapSize + k2;  // u = (Y(y+k4, x+k2) + X(y+k1, x+k3)) >> 1
        const uint8_t* xu = xmap + (y + k1) * kMapSize + k3;
        const uint8_t* xv = xmap + (y + k3) * kMapSize + k1;  // v = (X(y+k3, x+k1) + Y(y+k2, x+k4)) >> 1
        const uint8_t* yv = ymap + (y + k2) * kMapSize + k4;
        for (int x = 0; x < kWidth; ++x) {
            const int u = (yu[x] + xu[x]) >> 1;  // truncated means: both in 0..255
            const int v = (xv[x] + yv[x]) >> 1;
            plasma[x] = packAt(plasmaPicture + (u * kPlasmaSize + v) * 4);
        }
        blendPictureRow(frame + y * kWidth, picture + y * kWidth * 4, plasma);
    }
}

}  // namespace

// Branch-free (selects, not jumps) so that the compiler can vectorise it.
void blendPictureRow(uint32_t* out, const uint8_t* picture, const uint32_t* plasma) {
    for (int x = 0; x < kWidth; ++x) {
        const uint32_t pr = picture[4 * x], pg = picture[4 * x + 1], pb = picture[4 * x + 2];
        const uint32_t a = picture[4 * x + 3], inv = 255 - a;
        const uint32_t q = plasma[x];
        const uint32_t qr = q >> 16, qg = (q >> 8) & 0xFF, qb = q & 0xFF;
        const uint32_t red = (a * pr + inv * qr) >> 8;
        const uint32_t green = (a * pg + inv * qg) >> 8;
        const uint32_t blue = ((a * pb) >> 8) + ((inv * qb) >> 8);
        const uint32_t blend = (red << 16) | (green << 8) | blue;  // no channel exceeds 254
        const uint32_t own = (pr << 16) | (pg << 8) | pb;
        out[x] = a < kBelowShowsPlasma ? q : (a >= kFromShowsPicture ? own : blend);
    }
}

void effect9_init() {}

// The plasma alone: one row every 8 ms and one column every 16 ms, wrapping at 256, so t and
// t + 4096 draw the same frame.
void effect9(uint32_t* frame, int32_t t) {
    const int rowShift = t >> 3;
    const int columnShift = t >> 4;
    for (int y = 0; y < kHeight; ++y) {
        const uint8_t* yrow = ymap + y * kMapSize;
        const uint8_t* xrow = xmap + y * kMapSize;
        uint32_t* out = frame + y * kWidth;
        for (int x = 0; x < kWidth; ++x) {
            const int u = (yrow[x] + rowShift) & (kPlasmaSize - 1);
            const int v = (xrow[x] + columnShift) & (kPlasmaSize - 1);
            out[x] = packAt(plasmapic2 + (u * kPlasmaSize + v) * 4);
        }
    }
}

void effect2(uint32_t* frame, int32_t t) { plasmaBehind(frame, t, demogirl, plasmapic); }

void effect12(uint32_t* frame, int32_t t) { plasmaBehind(frame, t, demogirl2, plasmapic2); }

void PutChick(uint32_t* frame) { PutMaskedPicture(frame, demogirl); }
