// flip_log.cpp: a preload for the playback test: after each SDL_Flip it appends the wall time
// (CLOCK_MONOTONIC) and a grid of the surface's pixels to the file named by SHOW_FLIP_LOG, so the
// test learns when each frame reached the screen and which picture it held, and the show itself
// stays silent. One write per frame, so a killed show leaves every frame it flipped.
#include <SDL.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <time.h>
#include <unistd.h>

#include <cstdlib>

#include "flip_log.h"

extern "C" int SDL_Flip(SDL_Surface* screen) {
    using Flip = int (*)(SDL_Surface*);
    static const Flip realFlip = reinterpret_cast<Flip>(dlsym(RTLD_NEXT, "SDL_Flip"));
    static const int log = [] {
        const char* path = getenv("SHOW_FLIP_LOG");
        return path ? open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644) : -1;
    }();
    FlipRecord record = sampleGrid(screen->pixels, screen->pitch);
    const int result = realFlip(screen);
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    record.nanoseconds = int64_t{now.tv_sec} * 1000000000 + now.tv_nsec;
    if (log >= 0 && write(log, &record, sizeof record) != sizeof record) {}  // nothing to report to
    return result;
}
