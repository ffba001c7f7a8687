// clock.cpp: the show clock, from the audio stream or from SDL_GetTicks, and the timeline's read.
#include "clock.h"

#include <SDL.h>

#include <algorithm>

#include "audioClock.h"
#include "demo/demo.h"
#include "sdlAudio.h"

uint32_t startTime = 0;

static bool gFromStream = false;
static AudioClock gAudioClock;

constexpr uint32_t kLongestFlipInterval = 50;  // longer is a stall (start-up, a slow frame), not a refresh
static uint32_t gLastFlip = 0;      // ticks when the latest flip returned; 0 before the first
static uint32_t gFlipInterval = 0;  // the usual ticks between flips, smoothed
static int32_t gLastDrawn = 0;

void useStreamClock() { gFromStream = true; }

int32_t getTime() {
    if (gFromStream) return audioClockTime(gAudioClock, readStream(), streamFormat(), SDL_GetTicks());
    if (startTime == 0) startTime = SDL_GetTicks();  // a tick count of 0 is stored again next read
    return static_cast<int32_t>(SDL_GetTicks() - startTime);
}

void noteFlip() {
    const uint32_t now = SDL_GetTicks();
    if (gLastFlip != 0) {
        const uint32_t interval = std::min(now - gLastFlip, kLongestFlipInterval);
        gFlipInterval = (3 * gFlipInterval + interval + 2) / 4;
    }
    gLastFlip = now;
}

// The frame reaches the screen with the next flip, expected one usual interval after the latest:
// on the display's refresh that is up to a whole refresh after it is drawn, so it is drawn for
// the time it will be seen. Never for an earlier time than the frame before.
void doDemo(uint32_t* frame) {
    const int32_t untilShown = gLastFlip == 0 ? 0 : static_cast<int32_t>(gLastFlip + gFlipInterval - SDL_GetTicks());
    gLastDrawn = std::max(gLastDrawn, getTime() + std::max(untilShown, 0));
    doDemoAt(frame, gLastDrawn);
}
