// The whole show, frame after frame in order on one frame buffer, as the screen sees it: run under
// the address and undefined-behaviour sanitizers, any stray read or write ends it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "2d/frame.h"
#include "effects/effects.h"
#include "main/demo.h"

namespace {

constexpr int32_t kEnd = 116000;  // past the fade, into the black after the end
constexpr int32_t kStep = 7;      // a few ms: every window, the blur's feedback included

struct Window { int32_t first, last; void (*scene)(uint32_t*, int32_t); };

// The timeline's windows for the warp, voxel and blur scenes, each scene receiving t itself.
constexpr Window kWindows[] = {{51000, 59599, effect4}, {59600, 68299, effect9}, {68500, 85299, effect7},
                               {85300, 97999, effect2}, {102250, 114999, effect12}};

// What the timeline draws at t over a frame of noise, and what the scene alone draws over the same.
bool timelineDrawsScene(int32_t t, void (*scene)(uint32_t*, int32_t)) {
    std::vector<uint32_t> viaTimeline(kPixels), alone(kPixels);
    for (int i = 0; i < kPixels; ++i) viaTimeline[i] = alone[i] = uint32_t(i) * 2654435761u >> 8;
    doDemoAt(viaTimeline.data(), t);
    scene(alone.data(), t);
    return viaTimeline == alone;
}

}  // namespace

TEST(WholeShow, EachWindowCallsItsSceneFromFirstToLastMillisecond) {
    initDemo();
    for (const Window& w : kWindows) {
        EXPECT_TRUE(timelineDrawsScene(w.first, w.scene)) << "first ms " << w.first;
        EXPECT_TRUE(timelineDrawsScene(w.last, w.scene)) << "last ms " << w.last;
        EXPECT_FALSE(timelineDrawsScene(w.last + 1, w.scene)) << "after the window, " << w.last + 1;
    }
}

TEST(WholeShow, EveryFrameFromStartToEndDraws) {
    initDemo();
    std::vector<uint32_t> frame(kPixels, 0);
    for (int32_t t = 0; t <= kEnd; t += kStep) {
        doDemoAt(frame.data(), t);
        // Every scene draws 0x00RRGGBB pixels, save the cube, whose face colours are whole words:
        // elsewhere a set top byte means a broken packing or blend.
        if (t >= 17000 && t < 34500) continue;
        uint32_t top = 0;
        for (uint32_t p : frame) top |= p;
        ASSERT_EQ(top >> 24, 0u) << "t=" << t << " left a top byte set";
    }
    EXPECT_EQ(std::count(frame.begin(), frame.end(), 0u), kPixels) << "the show must end black";
}
