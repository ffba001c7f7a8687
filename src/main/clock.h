// clock.h: the show clock, read from SDL's millisecond ticks.
#pragma once
#include <cstdint>

extern uint32_t startTime;  // ticks at the first read of the show clock; 0 until then

// Milliseconds since the show clock was first read.
int32_t getTime();

// Draws the frame for the current show time.
void doDemo(uint32_t* frame);
