// The sine and cosine tables: every entry against an extended-precision reference of the same
// double angle, truncated.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>

#include "effects/sineCosine.h"
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

// The cube's sine and cosine: correctly rounded, so the same bits whatever the C library. The
// arguments are ones where C libraries round otherwise (glibc at the first five, MinGW's at the
// table's entry 110), exact double patterns with their true values rounded (300-bit references).
TEST(SineCosine, CorrectlyRoundedWhereCLibrariesAreNot) {
    struct Known {
        uint64_t x;
        double sin, cos;
    };
    const Known known[] = {
        {0x3FE61DD3BAFD9771, 0x1.465b7d4ef92ebp-1, 0x1.8a817ee9b5be5p-1},    // 110 table steps
        {0x400F6A5E353F7CEF, -0x1.6a04f557e2995p-1, -0x1.6a0ed766c0a25p-1},  // 625 table steps
        {0x4018A7A68108A91D, -0x1.e8298cdc36071p-4, 0x1.fc59cd4ab6ceap-1},   // 981 table steps
        {0xC09A087260000000, -0x1.c0884bfa268a1p-1, 0x1.edcffb1701fb7p-2},
        {0xC09A085040000000, -0x1.b80e838806ec9p-1, 0x1.05b6baa89ddc7p-1},
        {0x3FF921FB54442D18, 0x1p+0, 0x1.1a62633145c07p-54},                 // pi/2: cos is pi/2's error
        {0x4059000000000000, -0x1.03425b78c4db8p-1, 0x1.b981dbf665fdfp-1},   // 100
        {0x3FE0000000000000, 0x1.eaee8744b05f0p-2, 0x1.c1528065b7d50p-1},    // 0.5
    };
    for (const Known& k : known) {
        const double x = std::bit_cast<double>(k.x);
        EXPECT_EQ(std::bit_cast<uint64_t>(showSin(x)), std::bit_cast<uint64_t>(k.sin)) << "sin " << x;
        EXPECT_EQ(std::bit_cast<uint64_t>(showCos(x)), std::bit_cast<uint64_t>(k.cos)) << "cos " << x;
    }
    EXPECT_EQ(showSin(0.0), 0.0);
    EXPECT_EQ(showCos(0.0), 1.0);
    EXPECT_TRUE(std::isnan(showSin(2e6)));  // past the reduction's range, never a wrong number
    EXPECT_TRUE(std::isnan(showCos(-INFINITY)));
}

// Every argument the cube turns by, over its whole window: each result the double nearest a
// long double reference (where long double is wider), unless the reference is too near the
// midpoint of two doubles to tell.
TEST(SineCosine, NearestDoubleAtEveryCubeAngle) {
    if (sizeof(long double) == sizeof(double)) GTEST_SKIP() << "no wider long double here";
    const auto nearest = [](double value, long double reference) {
        const long double below = std::nextafter(value, -INFINITY), above = std::nextafter(value, INFINITY);
        const long double error = std::fabs(reference - value);
        const long double margin = std::fabs(reference) * 0x1p-60L;
        return error <= std::fabs(reference - below) + margin && error <= std::fabs(reference - above) + margin;
    };
    for (int32_t t = 17000; t < 34500; ++t) {
        for (const float perMs : {0.001f, 0.0016666667f}) {
            const double x = static_cast<double>(static_cast<float>(t) * perMs);
            ASSERT_TRUE(nearest(showSin(x), std::sin(static_cast<long double>(x)))) << "sin " << x << " at " << t;
            ASSERT_TRUE(nearest(showCos(x), std::cos(static_cast<long double>(x)))) << "cos " << x << " at " << t;
        }
    }
}

// The pair the cube asks for, from one reduction of the angle, is the two values each alone: over
// the cube's angles (every seventh millisecond, so the soft-float run under qemu stays short) and
// both signs of every quarter turn; NaN past the range as each alone.
TEST(SineCosine, BothAtOnceAreEachAlone) {
    const auto same = [](double x) {
        double sine, cosine;
        showSinCos(x, sine, cosine);
        EXPECT_EQ(std::bit_cast<uint64_t>(sine), std::bit_cast<uint64_t>(showSin(x))) << "sin " << x;
        EXPECT_EQ(std::bit_cast<uint64_t>(cosine), std::bit_cast<uint64_t>(showCos(x))) << "cos " << x;
    };
    for (int32_t t = 17000; t < 34500; t += 7)
        for (const float perMs : {0.001f, 0.0016666667f}) same(static_cast<double>(static_cast<float>(t) * perMs));
    for (double x = -7.0; x <= 7.0; x += 0.0625) same(x);
    double sine = 0, cosine = 0;
    showSinCos(2e6, sine, cosine);
    EXPECT_TRUE(std::isnan(sine) && std::isnan(cosine));
}
