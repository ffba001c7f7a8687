// 16.16 helpers: the reduced-precision division against a 64-bit reference over the range where
// it is exact, its stated examples, and the wrapping conversions.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>

#include "mobilePolygon/mobilePolygon.h"

TEST(MobDivFixed, StatedExamplesAndItsEdges) {
    const int32_t cases[][3] = {
        {3 << 16, 2 << 16, 0x18000},             {-(3 << 16), 2 << 16, -0x18000},
        {1 << 16, 3 << 16, 0x5555},              {-(1 << 16), 3 << 16, -0x5555},  // a third, truncated toward zero
        {3 << 16, 0x18000, 2 << 16},             {5 << 16, (1 << 16) + (1 << 8), 5 << 16},  // 1 + 1/256 divides as 1
        {256 << 16, 1 << 16, -(256 << 16)},      // 256.0 shifted left by 7 wraps to the most negative value
        {3 << 16, int32_t(0x80000000u | (2u << 16)), 0x18000},  // the divisor's sign bit is dropped
    };
    for (const auto& c : cases) EXPECT_EQ(mobDivFixed(c[0], c[1]), c[2]) << c[0] << " / " << c[1];
}

TEST(MobDivFixed, MatchesA64BitReferenceOverItsExactRange) {
    // Positive divisors from 1/128 up, read to whole 1/128ths; dividends below 256.0 in magnitude.
    std::mt19937 random(5);
    std::vector<int32_t> divisors = {512, 513, 1023, 1024, 65535, 65536, 65537, 0x7FFFFFFF, 0x40000000};
    for (int i = 0; i < 60; ++i) divisors.push_back(512 + int32_t(random() % (0x7FFFFFFFu - 512)));
    for (int i = 0; i < 60; ++i) divisors.push_back(512 + int32_t(random() % (300u << 16)));
    for (int32_t k = 1; k < 256; k += 7) divisors.push_back(k << 16);  // whole numbers: the exact a / k
    std::vector<int32_t> dividends = {0, 1, -1, (1 << 24) - 1, -(1 << 24) + 1, 1 << 16, -(1 << 16)};
    for (int32_t a = -(1 << 24) + 1; a < (1 << 24); a += 2039) dividends.push_back(a);
    for (int32_t b : divisors)  // (a / b) * 65536 truncated toward zero, b in whole 1/128ths, in 64 bits
        for (int32_t a : dividends)
            ASSERT_EQ(mobDivFixed(a, b), int64_t(a) * 128 / (b / 512)) << "a=" << a << " b=" << b;
}

TEST(FixedHelpers, WrapAt32BitsAndConvertWholeNumbers) {
    EXPECT_EQ(mobAddFixed(0x7FFFFFFF, 1), INT32_MIN);
    EXPECT_EQ(mobSubFixed(INT32_MIN, 1), 0x7FFFFFFF);
    EXPECT_EQ(mobInt2Fixed(-1), -65536);
    EXPECT_EQ(mobInt2Fixed(0x8000), INT32_MIN);  // the integer part has 16 bits, sign included
    const Coordinate c = mobInt2Coordinate(5, 6, 250, 251);  // each field in its place
    EXPECT_TRUE(c.x == 0x50000 && c.y == 0x60000 && c.u == 0xfa0000 && c.v == 0xfb0000);
}
