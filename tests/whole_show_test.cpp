// The whole show, frame after frame in order on one frame buffer, as the screen sees it: run under
// the address and undefined-behaviour sanitizers, any stray read or write ends it.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "2d/frame.h"
#include "main/demo.h"

namespace {

constexpr int32_t kEnd = 116000;  // past the fade, into the black after the end
constexpr int32_t kStep = 7;      // a few ms: every window, the blur's feedback included

}  // namespace

TEST(WholeShow, EveryFrameFromStartToEndDraws) {
    initDemo();
    std::vector<uint32_t> frame(kPixels, 0);
    int32_t badFrames = 0;
    for (int32_t t = 0; t <= kEnd; t += kStep) {
        doDemoAt(frame.data(), t);
        // Every scene draws 0x00RRGGBB pixels: a set top byte means a broken packing or blend.
        uint32_t top = 0;
        for (uint32_t p : frame) top |= p;
        if ((top >> 24) != 0 && ++badFrames <= 5) ADD_FAILURE() << "t=" << t << " left a top byte set";
    }
    EXPECT_EQ(badFrames, 0);
    for (uint32_t p : frame) ASSERT_EQ(p, 0u) << "the show must end black";
}
