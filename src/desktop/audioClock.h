// audioClock.h: show time from the audio stream's position: the song as it is heard.
#pragma once
#include <cstdint>

#include "sdlAudio.h"

// How many of the latest callbacks the clock takes its pace from.
constexpr int kPaceCallbacks = 8;

// The clock's state between reads.
struct AudioClock {
    uint32_t moves = 0;       // the player's move count the clock follows; earlier callbacks are ignored
    uint32_t lastPosition = 0;  // the latest callback seen (its position), to tell a new one
    int64_t leads[kPaceCallbacks] = {};  // per callback seen: its position's time less its tick time, in µs
    int seen = 0;
    int32_t last = 0;  // the last time given, so the clock never runs backwards
};

// A clock that starts at show time t once the player has moved there (its move count `moves`):
// it holds at t until the song from t reaches the loudspeaker.
AudioClock audioClockFrom(int32_t t, uint32_t moves);

// The show time of the song reaching the loudspeaker at tick count now.
//
// A callback runs when the device has room for another buffer, so at its tick the device is
// playing the song two buffers before the position after the callback (the buffer it plays and
// the one just filled). A callback can only run late, never early, so the clock keeps to the
// callback whose position was furthest ahead of its ticks among the latest few, and runs on with
// the ticks from there; it never goes past the song handed over, less one buffer, so it stops
// with the stream. Never below the time it started from, never below the last time given.
int32_t audioClockTime(AudioClock& clock, StreamReading reading, StreamFormat format, uint32_t now);
