// trig.cpp: the sine and cosine tables, 1000 entries per turn scaled by 256.
#include "tables.h"

#include <cmath>
#include <cstdint>

int16_t sine[kTurn];
int16_t cose[kTurn];

// The step is the double-precision product 6.2831 * 0.001, one unit in the last place above
// 0.0062831, so the table spans slightly less than 2*pi. Spelled as its bit pattern so that no
// compiler or soft-float library can round the constant differently. The builtin rather than
// std::bit_cast, which the WebAssembly toolchain's C++ library lacks.
static const double kStep = __builtin_bit_cast(double, uint64_t{0x3F79BC4ED047AB91});

// The conversion truncates toward zero; the low 16 bits are kept as they fall.
static int16_t scaled(double value) {
    return static_cast<int16_t>(static_cast<int32_t>(value * 256.0));
}

void calc_sine() {
    for (int i = 0; i < kTurn; ++i) {
        const double theta = static_cast<double>(i) * kStep;
        sine[i] = scaled(std::sin(theta));
        cose[i] = scaled(std::cos(theta));
    }
}
