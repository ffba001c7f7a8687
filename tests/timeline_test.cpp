// The timeline: every window calls its scenes from its first to its last millisecond with the
// right time, the grey levels of the flash and fade, and the instants that leave the frame alone.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "2d/2d.h"
#include "2d/frame.h"
#include "effects/effects.h"
#include "demo/demo.h"

namespace {

using Frame = std::vector<uint32_t>;
using Calls = std::function<void(uint32_t*)>;

// A frame no scene would leave as it is: varied, so a blur or a fill-behind shows its input.
Frame marked() {
    Frame frame(kPixels);
    for (int i = 0; i < kPixels; ++i) frame[i] = (uint32_t(i) * 2654435761u) >> 8;
    return frame;
}

Frame byTimeline(int32_t t) { Frame frame = marked(); doDemoAt(frame.data(), t); return frame; }
Frame byHand(const Calls& calls) { Frame frame = marked(); calls(frame.data()); return frame; }

Calls scene(void (*effect)(uint32_t*, int32_t), int32_t argument) { return [=](uint32_t* f) { effect(f, argument); }; }
Calls cleared(const Calls& then) { return [=](uint32_t* f) { Clear(f, 0); then(f); }; }
Calls cubeScene(int32_t t) { return [=](uint32_t* f) { Clear(f, 0); effect5(f, t); effect11(f, t); }; }
Calls fill(uint32_t colour) { return [=](uint32_t* f) { Clear(f, colour); }; }
const Calls kNothing = [](uint32_t*) {};

struct Timeline : ::testing::Test { static void SetUpTestSuite() { initDemo(); } };

}  // namespace

TEST_F(Timeline, EveryWindowFromFirstToLastMillisecond) {
    const struct { int32_t t; Calls calls; } cases[] = {
        {0, scene(effect10, 0)},          {8799, scene(effect10, 8799)},
        {8800, scene(effect8, 8800)},     {16999, scene(effect8, 16999)},
        {17000, cubeScene(17000)},        {34499, cubeScene(34499)},
        {34500, scene(effect6, 16500)},   {42301, scene(effect6, 8699)},   {50999, scene(effect6, 1)},
        {51000, scene(effect4, 51000)},   {59599, scene(effect4, 59599)},
        {59600, scene(effect9, 59600)},   {68299, scene(effect9, 68299)},
        {68300, fill(0)},                 {68499, fill(0)},
        {68500, scene(effect7, 68500)},   {85299, scene(effect7, 85299)},
        {85300, scene(effect2, 85300)},   {97999, scene(effect2, 97999)},
        {98000, fill(0)},                 {98999, fill(0)},
        {99000, cleared(scene(quenor, 99000))},    {99199, cleared(scene(quenor, 99199))},
        {99200, fill(0)},                 {99799, fill(0)},
        {99800, cleared(scene(velmit, 99800))},    {99999, cleared(scene(velmit, 99999))},
        {100200, cleared(scene(orsadun, 100200))}, {100399, cleared(scene(orsadun, 100399))},
        {101100, cleared(scene(fembrik, 101100))}, {101299, cleared(scene(fembrik, 101299))},
        {101600, cleared(scene(tessik, 101600))},  {101799, cleared(scene(tessik, 101799))},
        {101800, fill(0)},                {102249, fill(0)},
        {102250, scene(effect12, 102250)}, {114999, scene(effect12, 114999)},
        // The end: a flash up to white, a fade to black, then black for ever.
        {115001, fill(0x020202)},         {115064, fill(0x808080)},        {115126, fill(0xFCFCFC)},
        {115128, fill(0xFFFFFF)},         {115129, fill(0xFEFEFE)},        {115131, fill(0xFDFDFD)},
        {115636, fill(0x010101)},         {115637, fill(0)},
        {115639, fill(0)},                {200000, fill(0)},               {2147483647, fill(0)},
        // Three instants between the last windows, and times before the show, draw nothing.
        {115000, kNothing},               {115127, kNothing},              {115638, kNothing},
        {-1, kNothing},                   {-2147483647 - 1, kNothing},
    };
    for (const auto& c : cases) EXPECT_TRUE(byTimeline(c.t) == byHand(c.calls)) << "t=" << c.t;
}

// The whole show frame after frame on one buffer, as the screen sees it, the blur's feedback
// included; under the address and undefined-behaviour sanitizers any stray access ends it.
TEST_F(Timeline, TheWholeShowInOrder) {
    Frame frame(kPixels, 0);
    for (int32_t t = 0; t <= 116000; t += 7) {
        doDemoAt(frame.data(), t);
        // Every scene draws 0x00RRGGBB pixels, save the cube, whose face colours are whole words:
        // elsewhere a set top byte means a broken packing or blend.
        if (t >= 17000 && t < 34500) continue;
        uint32_t top = 0;
        for (uint32_t p : frame) top |= p;
        ASSERT_EQ(top >> 24, 0u) << "t=" << t << " left a top byte set";
    }
    EXPECT_EQ(frame, Frame(kPixels, 0)) << "the show must end black";
}
