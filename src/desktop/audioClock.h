// audioClock.h: show time from the audio stream's position: the music as it is heard.
#pragma once
#include <cstdint>

#include "sdlAudio.h"

// How many of the latest callbacks the clock takes its pace from.
constexpr int kPaceCallbacks = 8;

// The clock's state between reads.
struct AudioClock {
    uint32_t lastFrames = 0;  // the latest callback seen (its frame count)
    int64_t leads[kPaceCallbacks] = {};  // per callback seen: its frames' time less its tick time, in µs
    int seen = 0;
    int32_t last = 0;  // the last time given, so the clock never runs backwards
};

// The show time of the music reaching the loudspeaker at tick count now.
//
// A callback runs when the device has room for another buffer, so at its tick the device is
// playing the music two buffers before the frames handed over so far (the one it plays and the
// one just filled). A callback can only run late, never early, so the clock keeps to the callback
// whose frames were furthest ahead of its ticks among the latest few, and runs on with the ticks
// from there; it never goes past the music handed over, less one buffer, so it stops with the
// stream. Never below 0, never below the last time given.
int32_t audioClockTime(AudioClock& clock, StreamReading reading, StreamFormat format, uint32_t now);
