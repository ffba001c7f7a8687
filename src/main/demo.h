// demo.h: the show's script and start-up work, free of SDL so that the renderer, the tests and
// the benchmarks draw with the very code the show runs.
#pragma once
#include <cstdint>

// Builds every table, map and texture record the scenes read. Runs once, before the first frame.
void initDemo();

// Draws the frame for show time t (milliseconds) over whatever the frame already holds.
// The show's doDemo reads the clock and hands the time here.
void doDemoAt(uint32_t* frame, int32_t t);
