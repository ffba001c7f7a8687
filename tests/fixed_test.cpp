// 16.16 helpers: the reduced-precision division against a 64-bit reference over the range where
// it is exact, its stated examples, and the wrapping conversions.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>

#include "mobilePolygon/mobilePolygon.h"

namespace {

// (a / b) * 65536 truncated toward zero, with b read to whole 1/128ths: 64-bit, nothing wraps.
int64_t quotientReference(int32_t a, int32_t b) {
    const int64_t b128 = b / 512;          // b in units of 1/128 (b > 0)
    return int64_t(a) * 128 / b128;        // (a/65536) / (b128/128) * 65536
}

}  // namespace

TEST(MobDivFixed, StatedExamples) {
    EXPECT_EQ(mobDivFixed(3 << 16, 2 << 16), 0x18000);
    EXPECT_EQ(mobDivFixed(-(3 << 16), 2 << 16), -0x18000);
    EXPECT_EQ(mobDivFixed(1 << 16, 3 << 16), 0x5555);  // one third, truncated
    EXPECT_EQ(mobDivFixed(3 << 16, 0x18000), 2 << 16);
    EXPECT_EQ(mobDivFixed(5 << 16, (1 << 16) + (1 << 8)), 5 << 16);  // 1 + 1/256 divides as 1.0
    EXPECT_EQ(mobDivFixed(-(1 << 16), 3 << 16), -0x5555);             // truncates toward zero
}

TEST(MobDivFixed, MatchesTheReferenceOverItsExactRange) {
    // Positive divisors from 1/128 up, dividends below 256.0 in magnitude.
    std::mt19937 random(5);
    std::vector<int32_t> divisors = {512, 513, 1023, 1024, 65535, 65536, 65537, 0x7FFFFFFF, 0x40000000};
    for (int i = 0; i < 60; ++i) divisors.push_back(512 + int32_t(random() % (0x7FFFFFFFu - 512)));
    for (int i = 0; i < 60; ++i) divisors.push_back(512 + int32_t(random() % (300u << 16)));
    for (int32_t k = 1; k < 256; k += 7) divisors.push_back(k << 16);  // whole numbers: the exact a / k
    std::vector<int32_t> dividends = {0, 1, -1, (1 << 24) - 1, -(1 << 24) + 1, 1 << 16, -(1 << 16)};
    for (int32_t a = -(1 << 24) + 1; a < (1 << 24); a += 2039) dividends.push_back(a);
    for (int32_t b : divisors)
        for (int32_t a : dividends)
            ASSERT_EQ(mobDivFixed(a, b), quotientReference(a, b)) << "a=" << a << " b=" << b;
}

TEST(MobDivFixed, DividendWrapsAndSignBitOfDivisorIsDropped) {
    // 256.0 shifted left by 7 wraps to the most negative 32-bit value: outside the exact range,
    // but defined.
    EXPECT_EQ(mobDivFixed(256 << 16, 1 << 16), -(256 << 16));
    EXPECT_EQ(mobDivFixed(3 << 16, int32_t(0x80000000u | (2u << 16))), 0x18000);
}

TEST(FixedHelpers, AddAndSubtractWrapAt32Bits) {
    EXPECT_EQ(mobAddFixed(0x7FFFFFFF, 1), INT32_MIN);
    EXPECT_EQ(mobSubFixed(INT32_MIN, 1), 0x7FFFFFFF);
    EXPECT_EQ(mobAddFixed(-(3 << 16), 1 << 16), -(2 << 16));
    EXPECT_EQ(mobSubFixed(5 << 16, 7 << 16), -(2 << 16));
}

TEST(FixedHelpers, ConversionsFromWholeNumbers) {
    EXPECT_EQ(mobInt2Fixed(-1), -65536);
    EXPECT_EQ(mobInt2Fixed(239), 239 << 16);
    EXPECT_EQ(mobInt2Fixed(0x8000), INT32_MIN);  // the integer part has 16 bits, sign included
    const Coordinate c = mobInt2Coordinate(5, 5, 250, 250);
    EXPECT_EQ(c.x, 0x50000);
    EXPECT_EQ(c.y, 0x50000);
    EXPECT_EQ(c.u, 0xfa0000);
    EXPECT_EQ(c.v, 0xfa0000);
}
