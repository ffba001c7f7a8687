// The sine and cosine tables: their landmark entries, their ranges, and every entry against an
// extended-precision reference.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "effects/tables.h"

namespace {

struct Trig : ::testing::Test {
    static void SetUpTestSuite() { calc_sine(); }
};

// The angle step: the double product 6.2831 * 0.001, which is one unit in the last place above
// the double nearest 0.0062831.
double angleStep() {
    volatile double a = 6.2831, b = 0.001;  // volatile: multiply at run time, not in the compiler
    return a * b;
}

// Truncation toward zero of value * 256, through long double where it is wider than double.
int16_t truncated(long double value) { return static_cast<int16_t>(static_cast<int32_t>(value * 256.0L)); }

}  // namespace

TEST_F(Trig, AngleStepIsTheDoubleProduct) {
    const double k = angleStep();
    uint64_t bits;
    std::memcpy(&bits, &k, sizeof bits);
    EXPECT_EQ(bits, 0x3F79BC4ED047AB91u);
    EXPECT_EQ(k, std::nextafter(0.0062831, 1.0));
}

TEST_F(Trig, LandmarkEntries) {
    const int index[] = {0, 1, 2, 125, 249, 250, 251, 500, 501, 750, 999};
    const int wantSine[] = {0, 1, 3, 181, 255, 255, 255, 0, -1, -255, -1};
    const int wantCose[] = {256, 255, 255, 181, 1, 0, -1, -255, -255, 0, 255};
    for (int j = 0; j < 11; ++j) {
        EXPECT_EQ(sine[index[j]], wantSine[j]) << "sine[" << index[j] << "]";
        EXPECT_EQ(cose[index[j]], wantCose[j]) << "cose[" << index[j] << "]";
    }
}

TEST_F(Trig, RangesAndTheSingle256) {
    for (int i = 0; i < kTurn; ++i) {
        EXPECT_GE(sine[i], -255) << i;
        EXPECT_LE(sine[i], 255) << i;
        EXPECT_GE(cose[i], -255) << i;
        EXPECT_LE(cose[i], i == 0 ? 256 : 255) << i;
    }
    EXPECT_EQ(cose[0], 256);
    // Hence a quarter of the amplitude reaches 64 only through cose[0].
    EXPECT_EQ(cose[0] >> 2, 64);
    EXPECT_EQ(sine[250] >> 2, 63);
}

TEST_F(Trig, EveryEntryMatchesAWiderReference) {
    // No product lies within 5e-8 of an integer (entry 0 aside, which is exact), so a wider
    // sin and cos of the same double angle must truncate to the same integers.
    const double k = angleStep();
    for (int i = 0; i < kTurn; ++i) {
        const long double theta = static_cast<double>(i) * k;
        EXPECT_EQ(sine[i], truncated(std::sin(theta))) << "sine[" << i << "]";
        EXPECT_EQ(cose[i], truncated(std::cos(theta))) << "cose[" << i << "]";
    }
}

