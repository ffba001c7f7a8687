// plasma.cpp: the plasma-warp scenes: a 256 x 256 picture looked up through the warp maps, alone
// (effect9) or behind a portrait blended in by its alpha (effect2, effect12), and PutChick.
#include "plasma.h"

#include <bit>
#include <cstring>

#include "2d/2d.h"
#include "2d/frame.h"
#include "assets/pictures.h"
#include "effects.h"
#include "tables.h"

// Pictures are read a word at a time, and a word R | G << 8 | B << 16 | A << 24 becomes a frame
// pixel by swapping red and blue: both rely on the little-endian byte order of the targets.
static_assert(std::endian::native == std::endian::little, "the picture readers assume little-endian words");

namespace {

constexpr uint32_t kBelowShowsPlasma = 10;   // alpha below this: the plasma alone
constexpr uint32_t kFromShowsPicture = 240;  // alpha from this on: the picture alone
constexpr int kGroup = 4;                    // pixels decided together: covered, bare or mixed

inline uint32_t wordAt(const uint8_t* rgba) {
    uint32_t w;
    std::memcpy(&w, rgba, 4);
    return w;
}

// A picture word packed as 0x00RRGGBB, alpha dropped.
inline uint32_t packWord(uint32_t w) { return ((w & 0xFFu) << 16) | (w & 0xFF00u) | ((w >> 16) & 0xFFu); }

// Two pixels at once, channel by channel in 16-bit lanes (every product and sum stays below
// 65536): picture bytes p over plasma bytes q, both red, green, blue, alpha. The compiler's
// vector extensions map this onto SSE2 or NEON, and onto plain scalar code where neither exists.
using Bytes8 = uint8_t __attribute__((vector_size(8)));
using Lanes8 = uint16_t __attribute__((vector_size(16)));

inline void blendTwo(uint32_t* out, const uint8_t* p, const uint8_t* q) {
    constexpr Lanes8 kAlphaLane = {3, 3, 3, 3, 7, 7, 7, 7};
    constexpr Lanes8 kBlueLane = {0, 0, 0xFFFF, 0, 0, 0, 0xFFFF, 0};
    constexpr Lanes8 kColourLanes = {0xFFFF, 0xFFFF, 0xFFFF, 0, 0xFFFF, 0xFFFF, 0xFFFF, 0};
    constexpr Lanes8 kFrameOrder = {2, 1, 0, 3, 6, 5, 4, 7};  // R, G, B, A -> the bytes of 0x00RRGGBB
    Bytes8 pb, qb;
    std::memcpy(&pb, p, 8);
    std::memcpy(&qb, q, 8);
    const Lanes8 P = __builtin_convertvector(pb, Lanes8);
    const Lanes8 Q = __builtin_convertvector(qb, Lanes8);
    const Lanes8 alpha = __builtin_shuffle(P, kAlphaLane);
    const Lanes8 Pa = P * alpha, Qa = Q * (255 - alpha);
    const Lanes8 onceRounded = (Pa + Qa) >> 8;         // red and green
    const Lanes8 termRounded = (Pa >> 8) + (Qa >> 8);  // blue
    const Lanes8 blend = (onceRounded & ~kBlueLane) | (termRounded & kBlueLane);
    const Lanes8 bare = alpha < kBelowShowsPlasma, covered = alpha >= kFromShowsPicture;
    const Lanes8 chosen = (Q & bare) | (P & covered) | (blend & ~(bare | covered));
    const Bytes8 packed = __builtin_convertvector(__builtin_shuffle(chosen & kColourLanes, kFrameOrder), Bytes8);
    std::memcpy(out, &packed, 8);
}

// Picture P (320 x 240, alpha used) over the plasma picture Q warped through both maps, with four
// window offsets into the 512 x 512 maps that wander with t.
void plasmaBehind(uint32_t* frame, int32_t t, const uint8_t* picture, const uint8_t* plasmaPicture) {
    // Truncating divisions, once per frame. k1, k3 lie in 64..191 and k2, k4 in 64..192, so
    // rows reach at most 239 + 192 = 431 and columns 319 + 192 = 511: inside the maps.
    const int k1 = (S(t / 7) >> 2) + 128;
    const int k2 = (C(t / 8) >> 2) + 128;
    const int k3 = (S(t / 9) >> 2) + 128;
    const int k4 = (C(t / 10) >> 2) + 128;
    uint16_t plasmaIndex[kWidth];
    for (int y = 0; y < kHeight; ++y) {
        const uint8_t* yu = ymap + (y + k4) * kMapSize + k2;  // u = (Y(y+k4, x+k2) + X(y+k1, x+k3)) >> 1
        const uint8_t* xu = xmap + (y + k1) * kMapSize + k3;
        const uint8_t* xv = xmap + (y + k3) * kMapSize + k1;  // v = (X(y+k3, x+k1) + Y(y+k2, x+k4)) >> 1
        const uint8_t* yv = ymap + (y + k2) * kMapSize + k4;
        for (int x = 0; x < kWidth; ++x) {  // truncated means, both in 0..255
            plasmaIndex[x] = static_cast<uint16_t>(((yu[x] + xu[x]) >> 1) * kPlasmaSize + ((xv[x] + yv[x]) >> 1));
        }
        plasmaBehindRow(frame + y * kWidth, picture + y * kWidth * 4, plasmaIndex, plasmaPicture);
    }
}

}  // namespace

// Pictures are mostly wholly covered or wholly bare over long runs: a group of four pixels that
// is all one or the other is copied without blending (and, when covered, without reading the
// plasma at all); a mixed group goes through the two-lane blend.
void plasmaBehindRow(uint32_t* out, const uint8_t* pictureRow, const uint16_t* plasmaIndex,
                     const uint8_t* plasmaPicture) {
    for (int x = 0; x < kWidth; x += kGroup) {
        uint32_t p[kGroup], lowest = 255, highest = 0;
        for (int k = 0; k < kGroup; ++k) {
            p[k] = wordAt(pictureRow + 4 * (x + k));
            const uint32_t alpha = p[k] >> 24;
            lowest = alpha < lowest ? alpha : lowest;
            highest = alpha > highest ? alpha : highest;
        }
        if (lowest >= kFromShowsPicture) {
            for (int k = 0; k < kGroup; ++k) out[x + k] = packWord(p[k]);
            continue;
        }
        uint32_t q[kGroup];
        for (int k = 0; k < kGroup; ++k) q[k] = wordAt(plasmaPicture + 4 * plasmaIndex[x + k]);
        if (highest < kBelowShowsPlasma) {
            for (int k = 0; k < kGroup; ++k) out[x + k] = packWord(q[k]);
            continue;
        }
        const uint8_t* qBytes = reinterpret_cast<const uint8_t*>(q);
        blendTwo(out + x, pictureRow + 4 * x, qBytes);
        blendTwo(out + x + 2, pictureRow + 4 * x + 8, qBytes + 8);
    }
}

void effect9_init() {}

// The plasma alone: one row every 8 ms and one column every 16 ms, wrapping at 256, so t and
// t + 4096 draw the same frame.
void effect9(uint32_t* frame, int32_t t) {
    const int rowShift = t >> 3;
    const int columnShift = t >> 4;
    uint16_t plasmaIndex[kWidth];
    for (int y = 0; y < kHeight; ++y) {
        const uint8_t* yrow = ymap + y * kMapSize;
        const uint8_t* xrow = xmap + y * kMapSize;
        for (int x = 0; x < kWidth; ++x) {  // vectorised: the map bytes are contiguous
            const int u = (yrow[x] + rowShift) & (kPlasmaSize - 1);
            const int v = (xrow[x] + columnShift) & (kPlasmaSize - 1);
            plasmaIndex[x] = static_cast<uint16_t>(u * kPlasmaSize + v);
        }
        // The gather stays a plain scalar loop and the packing a separate vectorised one: fused,
        // the compiler emulates a vector gather and the whole row runs slower.
        uint32_t* out = frame + y * kWidth;
#pragma GCC unroll 8
        for (int x = 0; x < kWidth; ++x) out[x] = wordAt(plasmapic2 + 4 * plasmaIndex[x]);
        for (int x = 0; x < kWidth; ++x) out[x] = packWord(out[x]);
    }
}

void effect2(uint32_t* frame, int32_t t) { plasmaBehind(frame, t, demogirl, plasmapic); }

void effect12(uint32_t* frame, int32_t t) { plasmaBehind(frame, t, demogirl2, plasmapic2); }

void PutChick(uint32_t* frame) { PutMaskedPicture(frame, demogirl); }
