// The timeline's windows: which instants draw, the grey levels of the flash and fade, and the
// instants that leave the frame untouched.
#include <gtest/gtest.h>

#include <vector>

#include "2d/frame.h"
#include "main/demo.h"

namespace {

constexpr uint32_t kMarker = 0x12345678;  // no window ever draws this word

struct Timeline : ::testing::Test {
    static void SetUpTestSuite() { initDemo(); }
    std::vector<uint32_t> frame = std::vector<uint32_t>(kPixels, kMarker);

    // Draws t over a marked frame and returns the one colour it left everywhere (or fails).
    uint32_t uniformAt(int32_t t) {
        std::fill(frame.begin(), frame.end(), kMarker);
        doDemoAt(frame.data(), t);
        for (int i = 1; i < kPixels; ++i)
            if (frame[i] != frame[0]) {
                ADD_FAILURE() << "t=" << t << " is not one colour: pixel " << i;
                break;
            }
        return frame[0];
    }
};

}  // namespace

TEST_F(Timeline, FlashRisesTwoLevelsPerMillisecond) {
    EXPECT_EQ(uniformAt(115001), 0x020202u);
    EXPECT_EQ(uniformAt(115064), 0x808080u);
    EXPECT_EQ(uniformAt(115126), 0xFCFCFCu);
}

TEST_F(Timeline, FadeFallsFromWhiteToBlack) {
    EXPECT_EQ(uniformAt(115128), 0xFFFFFFu);
    EXPECT_EQ(uniformAt(115129), 0xFEFEFEu);
    EXPECT_EQ(uniformAt(115131), 0xFDFDFDu);
    EXPECT_EQ(uniformAt(115636), 0x010101u);
    EXPECT_EQ(uniformAt(115637), 0u);
}

TEST_F(Timeline, BlackAfterTheEndForEver) {
    for (int32_t t : {115639, 116000, 200000, 2147483647}) EXPECT_EQ(uniformAt(t), 0u) << t;
}

TEST_F(Timeline, ThreeInstantsDrawNothing) {
    for (int32_t t : {115000, 115127, 115638}) EXPECT_EQ(uniformAt(t), kMarker) << t;
}

TEST_F(Timeline, BlackWindowsAndTheirEdges) {
    EXPECT_EQ(uniformAt(68300), 0u);
    EXPECT_EQ(uniformAt(68499), 0u);
    EXPECT_EQ(uniformAt(98000), 0u);
    EXPECT_EQ(uniformAt(98999), 0u);
}

TEST_F(Timeline, CreditsAreBlackBetweenThePages) {
    for (int32_t t : {99200, 99799, 100000, 100199, 100400, 101099, 101300, 101599, 101800, 102249})
        EXPECT_EQ(uniformAt(t), 0u) << t;
}

TEST_F(Timeline, TimesBeforeTheShowDrawNothing) {
    // A negative time must not wrap into a window that starts at 0.
    for (int32_t t : {-1, -8800, -2147483647 - 1}) EXPECT_EQ(uniformAt(t), kMarker) << t;
}
