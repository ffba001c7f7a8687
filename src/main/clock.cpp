// clock.cpp: the show clock, from the audio stream or from SDL_GetTicks, and the timeline's read.
#include "clock.h"

#include <SDL.h>

#include "audioClock.h"
#include "demo.h"
#include "sdlAudio.h"

uint32_t startTime = 0;

static bool gFromStream = false;
static AudioClock gAudioClock;

void useStreamClock() { gFromStream = true; }

int32_t getTime() {
    if (gFromStream) return audioClockTime(gAudioClock, readStream(), streamFormat(), SDL_GetTicks());
    if (startTime == 0) startTime = SDL_GetTicks();  // a tick count of 0 is stored again next read
    return static_cast<int32_t>(SDL_GetTicks() - startTime);
}

void doDemo(uint32_t* frame) { doDemoAt(frame, getTime()); }
