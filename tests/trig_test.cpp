// The sine and cosine tables: every entry against an extended-precision reference of the same
// double angle, truncated.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>

#include "effects/tables.h"

struct Trig : ::testing::Test { static void SetUpTestSuite() { calc_sine(); } };

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
