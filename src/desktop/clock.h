// clock.h: the show clock: the music's position as heard when the show's own audio driver plays
// it, otherwise SDL's millisecond ticks since the music started.
#pragma once
#include <cstdint>

extern uint32_t startTime;  // ticks at the first read of the tick clock; 0 until then

// Takes the show clock from the audio stream from now on (the show's own driver is open).
void useStreamClock();

// Milliseconds of show time.
int32_t getTime();

// Notes that a flip has just returned, to foresee when the next frame will reach the screen.
void noteFlip();

// Draws the frame for the show time at which it will reach the screen.
void doDemo(uint32_t* frame);
