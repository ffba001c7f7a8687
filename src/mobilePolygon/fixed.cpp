// fixed.cpp: the 16.16 helpers of the rasterizer, the reduced-precision division among them.
#include "mobilePolygon.h"
#include "wrap.h"

Fixed mobAddFixed(Fixed a, Fixed b) { return wrapAdd(a, b); }

Fixed mobSubFixed(Fixed a, Fixed b) { return wrapSub(a, b); }

Fixed mobInt2Fixed(int i) { return wrapShiftLeft(i, 16); }

// A 16.16 quotient with 32-bit arithmetic only: the dividend gains 7 bits (wrapping) and the
// divisor loses 9, so the divisor is read to 1/128. Exact for a whole-number divisor and
// |a| < 256.0. The divisor's sign bit is dropped; a divisor below 1/128 (d == 0) is the caller's
// duty, as every caller divides by a positive distance of at least that.
Fixed mobDivFixed(Fixed a, Fixed b) {
    const int32_t d = static_cast<int32_t>((static_cast<uint32_t>(b) & 0x7FFFFFFFu) >> 9);
    const int32_t n = wrapShiftLeft(a, 7);
    return n / d;  // truncates toward zero
}

Coordinate mobInt2Coordinate(int x, int y, int u, int v) {
    return {mobInt2Fixed(x), mobInt2Fixed(y), mobInt2Fixed(u), mobInt2Fixed(v)};
}
