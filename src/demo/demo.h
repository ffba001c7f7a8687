// demo.h: the show's script and start-up work, free of SDL so that the renderer, the tests and
// the benchmarks draw with the very code the show runs.
#pragma once
#include <cstdint>

// Builds every table, map and texture record the scenes read. Runs once, before the first frame.
void initDemo();

// Draws the frame for show time t (milliseconds) over whatever the frame already holds.
// The show's doDemo reads the clock and hands the time here.
void doDemoAt(uint32_t* frame, int32_t t);

// The show time of the n-th frame of a continuous run at 60 frames a second: 0, 16, 33, 50, ...
constexpr int32_t frameTime60(int64_t n) { return static_cast<int32_t>(n * 1000 / 60); }
// The first 60 fps frame time after t.
int32_t nextFrameTime60(int32_t t);

// Draws the frame for show time t exactly as a continuous run at 60 frames a second from the
// start has it on screen, whatever the frame held before: the radial blur builds on the frames
// before, so its window is drawn from its start in 60 fps steps; at the instants no window holds,
// the run's frame before stays. What a player draws after a start, a seek or a step.
void drawAfterSeek(uint32_t* frame, int32_t t);

// The timeline's windows as a viewer finds them, in order: where each starts and what it shows.
struct ShowWindow {
    int32_t start;
    const char* name;
};
extern const ShowWindow kShowWindows[];
extern const int kShowWindowCount;

// The index of the window that holds show time t (0 before the first).
int showWindowAt(int32_t t);
