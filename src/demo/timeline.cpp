// timeline.cpp: the show's script, one fixed chain of time windows tested every frame.
#include "demo.h"

#include "2d/2d.h"
#include "effects/effects.h"

// A window holds start <= t < start + length: one unsigned comparison, so t below start wraps
// to a huge value and fails the test.
static bool within(int32_t t, int32_t start, uint32_t length) {
    return static_cast<uint32_t>(t) - static_cast<uint32_t>(start) < length;
}

static uint32_t grey(uint32_t level) { return level * 0x010101u; }

void doDemoAt(uint32_t* frame, int32_t t) {
    if (within(t, 0, 8800)) effect10(frame, t);                // the clock
    if (within(t, 8800, 8200)) effect8(frame, t);              // helmet with the wave line
    if (within(t, 17000, 17500)) {                             // stripes and logo, then the cube
        effect5(frame, t);
        effect11(frame, t);
    }
    if (within(t, 34500, 16500)) effect6(frame, 51000 - t);    // the pan runs on reversed time
    if (within(t, 51000, 8600)) effect4(frame, t);             // voxel landscape
    if (within(t, 59600, 8700)) effect9(frame, t);             // plasma warp
    if (within(t, 68300, 200)) Clear(frame, 0);                // black before the radial blur
    if (within(t, 68500, 16800)) effect7(frame, t);            // radial blur, built on the previous frame
    if (within(t, 85300, 12700)) effect2(frame, t);            // plasma warp behind a portrait
    if (within(t, 98000, 1000)) Clear(frame, 0);               // black before the credits
    if (within(t, 99000, 3250)) {                              // credits: black between the pages
        Clear(frame, 0);
        if (within(t, 99000, 200)) quenor(frame, t);
        if (within(t, 99800, 200)) velmit(frame, t);
        if (within(t, 100200, 200)) orsadun(frame, t);
        if (within(t, 101100, 200)) fembrik(frame, t);
        if (within(t, 101600, 200)) tessik(frame, t);
    }
    if (within(t, 102250, 12750)) effect12(frame, t);          // plasma warp behind the second portrait
    // The end: a flash up to white, a fade to black, then black until the music stops.
    // At exactly 115000, 115127 and 115638 no window holds and the frame is left as it was.
    if (within(t, 115001, 126)) Clear(frame, grey((2 * (t - 115000)) & 0xFF));
    if (within(t, 115128, 510)) Clear(frame, grey(((115638 - t) >> 1) & 0xFF));
    if (t > 115638) Clear(frame, 0);
}
