// flip_log.cpp: a preload for the playback test: after each SDL_Flip it appends the wall time
// (CLOCK_MONOTONIC) and a grid of the surface's pixels to the file named by SHOW_FLIP_LOG, so the
// test learns when each frame reached the screen and which picture it held, and the show itself
// stays silent. One write per frame, so a killed show leaves every frame it flipped.
// With SHOW_REFRESH_HZ it also stands in for a display's refresh, which the dummy video driver
// has not: each flip returns at the next refresh, as a flip on the vertical blank does.
// It also plays the user's keyboard: the key names the test appends to the file named by
// SHOW_KEYS, one a line, go into SDL's event queue as key presses at the next flip, so the show
// takes them through the same queue and at the same point of its loop as real keys.
#include <SDL.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <time.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "flip_log.h"

static int openEnv(const char* name, int flags) {
    const char* path = getenv(name);
    return path ? open(path, flags | O_CLOEXEC, 0644) : -1;
}

static SDLKey keyNamed(const std::string& name) {
    static const struct { const char* name; SDLKey key; } kKeys[] = {
        {"space", SDLK_SPACE}, {"left", SDLK_LEFT},     {"right", SDLK_RIGHT}, {"pageup", SDLK_PAGEUP},
        {"pagedown", SDLK_PAGEDOWN}, {"home", SDLK_HOME}, {"period", SDLK_PERIOD}, {"f", SDLK_f},
        {"escape", SDLK_ESCAPE}, {"q", SDLK_q}};
    for (const auto& k : kKeys)
        if (name == k.name) return k.key;
    return SDLK_UNKNOWN;
}

// The whole lines appended since the last flip, each a key press; returns the presses so far.
static uint32_t pressNewKeys() {
    static const int keys = openEnv("SHOW_KEYS", O_RDONLY);
    static std::string pending;
    static uint32_t pressed = 0;
    char buffer[256];
    for (ssize_t n; keys >= 0 && (n = read(keys, buffer, sizeof buffer)) > 0;) pending.append(buffer, size_t(n));
    for (size_t end; (end = pending.find('\n')) != std::string::npos; pending.erase(0, end + 1)) {
        SDL_Event event;
        memset(&event, 0, sizeof event);
        event.type = SDL_KEYDOWN;
        event.key.state = SDL_PRESSED;
        event.key.keysym.sym = keyNamed(pending.substr(0, end));
        if (SDL_PushEvent(&event) == 0) ++pressed;
    }
    return pressed;
}

extern "C" int SDL_Flip(SDL_Surface* screen) {
    using Flip = int (*)(SDL_Surface*);
    static const Flip realFlip = reinterpret_cast<Flip>(dlsym(RTLD_NEXT, "SDL_Flip"));
    static const int log = openEnv("SHOW_FLIP_LOG", O_WRONLY | O_CREAT | O_APPEND);
    static const int64_t refresh = [] {
        const char* hz = getenv("SHOW_REFRESH_HZ");
        return hz && atof(hz) > 0 ? int64_t(1e9 / atof(hz)) : 0;
    }();
    FlipRecord record = sampleGrid(screen->pixels, screen->pitch);
    const int result = realFlip(screen);
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    record.nanoseconds = int64_t{now.tv_sec} * 1000000000 + now.tv_nsec;
    if (refresh > 0) {  // a display's refresh: the flip returns at the next one, as with vsync
        record.nanoseconds += refresh - record.nanoseconds % refresh;
        const timespec at{time_t(record.nanoseconds / 1000000000), long(record.nanoseconds % 1000000000)};
        while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &at, nullptr) != 0) {}
    }
    record.keys = pressNewKeys();
    if (log >= 0 && write(log, &record, sizeof record) != sizeof record) {}  // nothing to report to
    return result;
}
