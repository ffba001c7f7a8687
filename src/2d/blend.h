// blend.h: one colour over another by an alpha, as the textured triangles, the logo and the
// portraits all blend.
#pragma once
#include <cstdint>

// Colour p at alpha a (0..255) over colour q, both laid out as 0x00RRGGBB (top bytes ignored).
// Red and green: (a p + (255 - a) q) / 256, rounded down once after the sum. Blue: a p / 256 +
// (255 - a) q / 256, each term rounded down, so it can come out one below red or green for equal
// inputs. Red and blue are multiplied together, 16 bits apart: every product and sum stays below
// 65536, so neither spills into the other.
inline uint32_t blendOver(uint32_t p, uint32_t a, uint32_t q) {
    const uint32_t b = 255 - a;
    const uint32_t redBlue = (p & 0xFF00FFu) * a, redBlueBelow = (q & 0xFF00FFu) * b;
    const uint32_t red = (redBlue + redBlueBelow) >> 24;
    const uint32_t green = ((p & 0xFF00u) * a + (q & 0xFF00u) * b) >> 16;
    const uint32_t blue = ((redBlue >> 8) & 0xFFu) + ((redBlueBelow >> 8) & 0xFFu);
    return red << 16 | green << 8 | blue;
}
