// The sine and cosine tables: their landmark entries (cose[0] the only 256), and every entry against
// an extended-precision reference.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>

#include "effects/tables.h"

struct Trig : ::testing::Test {
    static void SetUpTestSuite() { calc_sine(); }
};

TEST_F(Trig, LandmarkEntries) {
    const int index[] = {0, 1, 2, 125, 249, 250, 251, 500, 501, 750, 999};
    const int wantSine[] = {0, 1, 3, 181, 255, 255, 255, 0, -1, -255, -1};
    const int wantCose[] = {256, 255, 255, 181, 1, 0, -1, -255, -255, 0, 255};
    for (int j = 0; j < 11; ++j) {
        EXPECT_EQ(sine[index[j]], wantSine[j]) << "sine[" << index[j] << "]";
        EXPECT_EQ(cose[index[j]], wantCose[j]) << "cose[" << index[j] << "]";
    }
}

TEST_F(Trig, EveryEntryMatchesAWiderReference) {
    // The angle step is the double product 6.2831 * 0.001 (volatile: multiplied at run time).
    volatile double a = 6.2831, b = 0.001;
    const double k = a * b;
    ASSERT_EQ(std::bit_cast<uint64_t>(k), 0x3F79BC4ED047AB91u);
    // No product lies within 5e-8 of an integer (entry 0 aside, which is exact), so a wider sin and
    // cos of the same double angle truncate to the same integers.
    const auto truncated = [](long double value) { return int16_t(int32_t(value * 256.0L)); };
    for (int i = 0; i < kTurn; ++i) {
        const long double theta = static_cast<double>(i) * k;
        EXPECT_EQ(sine[i], truncated(std::sin(theta))) << "sine[" << i << "]";
        EXPECT_EQ(cose[i], truncated(std::cos(theta))) << "cose[" << i << "]";
    }
}
