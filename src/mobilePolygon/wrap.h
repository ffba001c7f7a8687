// wrap.h: 16.16 arithmetic that wraps at 32 bits, done in unsigned so it is defined behaviour.
#pragma once
#include <cstdint>

#include "mobilePolygon.h"

// Unsigned addition wraps modulo 2^32; converting back to signed is modular since C++20.
inline Fixed wrapAdd(Fixed a, Fixed b) {
    return static_cast<Fixed>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}

inline Fixed wrapSub(Fixed a, Fixed b) {
    return static_cast<Fixed>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
}

inline Fixed wrapShiftLeft(int32_t i, int bits) {
    return static_cast<Fixed>(static_cast<uint32_t>(i) << bits);
}

// The integer part: >> on a signed value is arithmetic, so it rounds toward minus infinity.
inline int wholePart(Fixed a) { return a >> 16; }
