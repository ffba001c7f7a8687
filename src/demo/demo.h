// demo.h: the show's script and start-up work, free of SDL so that the renderer, the tests and
// the benchmarks draw with the very code the show runs.
#pragma once
#include <cstdint>
#include <vector>

// Builds every table, map and texture record the scenes read. Runs once, before the first frame.
void initDemo();

// Draws every window's scene once, a second into it, on a frame of its own, so that the code and
// the pictures each scene reads are in memory before the show plays rather than fetched at the
// scene's first frame (a device pages its program in from storage as it first runs it); the
// frames the show then draws are the same. Some 7 M instructions on the device, after initDemo.
void warmScenes();

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

// The radial blur's continuous run kept at every second (every 60th frame), so that a seek into
// it draws at most a second of it instead of all of it so far (over a thousand frames at its
// end). For a door with the memory (17 frames of 300 KB) and idle time to draw the run once:
// keepBlurRun draws up to `frames` more of it, and answers false once it is all kept;
// drawAfterSeek with the kept run then gives the same frame as without.
struct BlurRun {
    std::vector<std::vector<uint32_t>> kept;  // kept[k]: the frame before the run's frame 60 k
    std::vector<uint32_t> frame;              // the run as far as it is drawn
    int64_t drawn = -1;                       // frames of the run drawn so far; -1 before the start
};
bool keepBlurRun(BlurRun& run, int frames);
void drawAfterSeek(uint32_t* frame, int32_t t, const BlurRun& run);

// The timeline's windows as a viewer finds them, in order: where each starts and what it shows.
struct ShowWindow {
    int32_t start;
    const char* name;
};
extern const ShowWindow kShowWindows[];
extern const int kShowWindowCount;

// The index of the window that holds show time t (0 before the first).
int showWindowAt(int32_t t);
