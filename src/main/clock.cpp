// clock.cpp: the show clock over SDL_GetTicks, and the timeline's clock read.
#include "clock.h"

#include <SDL.h>

#include "demo.h"

uint32_t startTime = 0;

int32_t getTime() {
    if (startTime == 0) startTime = SDL_GetTicks();  // a tick count of 0 is stored again next read
    return static_cast<int32_t>(SDL_GetTicks() - startTime);
}

void doDemo(uint32_t* frame) { doDemoAt(frame, getTime()); }
