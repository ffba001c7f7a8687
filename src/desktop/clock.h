// clock.h: the show clock, the song's position as heard from the audio stream, and the time each
// frame is drawn for.
#pragma once
#include <climits>
#include <cstdint>

// (Re)starts the clock at show time t once the player has moved there (its move count): after
// the start, a seek or a resume. The clock holds at t until the song from t is heard.
void startClock(int32_t t, uint32_t moves);

// Milliseconds of show time: the song reaching the loudspeaker now.
int32_t getTime();

// The player has stopped handing the song at sample frame `frame` (a pause): the clock runs on
// to exactly there, as the device plays out what it holds, and stops.
void stopClockAt(int64_t frame);

// Notes that a flip has just returned, to foresee when the next frame will reach the screen.
void noteFlip();

// Draws the frame for the show time at which it will reach the screen, but not past `latest`;
// returns that time.
int32_t doDemo(uint32_t* frame, int32_t latest = INT32_MAX);
