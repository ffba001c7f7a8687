// clock.cpp: the show clock from the audio stream, and the time each frame is drawn for.
#include "clock.h"

#include <SDL.h>

#include <algorithm>

#include "audioClock.h"
#include "demo/demo.h"
#include "sound.h"

constexpr uint32_t kLongestFlipInterval = 50;  // longer is a stall (start-up, a slow frame), not a refresh
static AudioClock gAudioClock;
static uint32_t gLastFlip = 0;      // ticks when the latest flip returned; 0 before the first
static uint32_t gFlipInterval = 0;  // the usual ticks between flips, smoothed
static int32_t gLastDrawn = 0;

// The latest time given, and the tick and the sound's changes it was worked out at: within the
// same millisecond and with nothing new from the sound it is the same, and the pacing's reads, some
// sixty a frame, cost a tick read each instead of the records' locks and the clock's sums.
static struct {
    bool known = false;
    uint32_t ticks = 0, changes = 0;
    int32_t time = 0;
} gLatest;

void startClock(int32_t t, uint32_t moves) {
    restartAudioClock(gAudioClock, t, moves);
    gLastDrawn = t;
    gLatest.known = false;
}

void stopClockAt(int64_t frame) {
    gAudioClock.stopsAt = frame;
    gLatest.known = false;
}

int32_t getTime() {
    const uint32_t ticks = SDL_GetTicks(), changes = soundChanges();
    if (gLatest.known && ticks == gLatest.ticks && changes == gLatest.changes) return gLatest.time;
    gLatest = {true, ticks, changes, audioClockTime(gAudioClock, readStream(), readHeard(), streamFormat(), ticks)};
    return gLatest.time;
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
// on the display's refresh that is up to a whole refresh after it is drawn, and it stays there
// for one interval, so it is drawn for the middle of its time on screen: a cut then shows at the
// refresh nearest to when it is heard. Never for an earlier time than the frame before.
int32_t doDemo(uint32_t* frame, int32_t latest) {
    const int32_t untilShown =
        gLastFlip == 0 ? 0 : static_cast<int32_t>(gLastFlip + gFlipInterval + gFlipInterval / 2 - SDL_GetTicks());
    gLastDrawn = std::min(std::max(gLastDrawn, getTime() + std::max(untilShown, 0)), std::max(latest, gLastDrawn));
    doDemoAt(frame, gLastDrawn);
    return gLastDrawn;
}
