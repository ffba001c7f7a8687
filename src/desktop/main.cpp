// main.cpp: the show's shell: window, music, the paced frame loop and the order of shutdown.
#include <SDL.h>
#include <mikmod.h>
#include <signal.h>

#include <cstdio>
#include <cstdlib>

#include "clock.h"
#include "demo/demo.h"
#include "pacing.h"
#include "sdlAudio.h"

constexpr int kSignalStatusBase = 128;  // a shell's status for a program ended by signal n: 128 + n

static volatile sig_atomic_t gStopSignal = 0;

static void stopOnSignal(int number) { gStopSignal = number; }

// SDL turns Ctrl+C and SIGTERM into a close request, which the show ignores on purpose; these
// handlers, installed after SDL's, end the loop instead.
static void catchStopSignals() {
    struct sigaction action {};
    action.sa_handler = stopOnSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

// The show's own SDL driver first, so mixing never blocks the loop and the clock can follow the
// stream; if it cannot open, MikMod's autodetection over its other drivers, timed by the ticks.
static bool openSound() {
    registerSdlAudioDriver();
    MikMod_RegisterAllDrivers();
    MikMod_RegisterAllLoaders();
    md_mode |= DMODE_SOFT_MUSIC;
    md_device = static_cast<UWORD>(MikMod_DriverFromAlias(kSdlAudioAlias));
    if (MikMod_Init("") == 0) return true;
    md_device = 0;
    return MikMod_Init("") == 0;
}

int main(int, char**) {
    // 320 x 240 is tiny on today's screens: ask sdl12-compat for a crisp whole-number scale, and
    // for frames presented on the display's refresh, unless the user's environment chose otherwise.
    setenv("SDL12COMPAT_WINDOW_SCALING", "3", 0);
    setenv("SDL12COMPAT_SCALE_METHOD", "nearest", 0);
    setenv("SDL12COMPAT_SYNC_TO_VBLANK", "1", 0);

    if (SDL_Init(SDL_INIT_TIMER | SDL_INIT_VIDEO) < 0) {
        fprintf(stderr, "Couldn't initialize SDL: %s\n", SDL_GetError());
        SDL_Quit();
        return 1;
    }
    // Single-buffered on purpose: each frame starts from the previous one's pixels.
    SDL_Surface* screen = SDL_SetVideoMode(320, 240, 32, SDL_HWSURFACE);
    if (screen == nullptr) {
        fprintf(stderr, "Couldn't set 320x240x32 video mode: %s\n", SDL_GetError());
        return 1;
    }
    catchStopSignals();

    initDemo();  // before the music and the clock, so its time is not show time

    if (!openSound()) {
        fprintf(stderr, "Could not initialize sound, reason: %s\n", MikMod_strerror(MikMod_errno));
        return -1;
    }
    MODULE* module = Player_Load("musa.xm", 64, 0);
    if (module == nullptr) {
        fprintf(stderr, "Could not load module, reason: %s\n", MikMod_strerror(MikMod_errno));
        MikMod_Exit();
        return 1;  // a show without its music has failed
    }
    lockSound();
    Player_Start(module);
    unlockSound();
    if (sdlAudioOpen()) useStreamClock();
    int32_t stamp = getTime();  // show time 0 is the music's start (as heard, on the stream clock)

    SDL_Event event{};  // keeps the type of the last event polled between events
    while (gStopSignal == 0) {
        if (event.type == SDL_KEYDOWN) break;
        if (!Player_Active()) break;
        SDL_PollEvent(&event);  // one event per frame; a close request is taken and ignored
        SDL_LockSurface(screen);
        doDemo(static_cast<uint32_t*>(screen->pixels));
        paceFrame(stamp, getTime);
        stamp = getTime();
        SDL_UnlockSurface(screen);
        SDL_Flip(screen);
        noteFlip();
        MikMod_Update();
    }

    lockSound();
    Player_Stop();
    Player_Free(module);
    unlockSound();
    MikMod_Exit();
    SDL_Quit();
    return gStopSignal == 0 ? 0 : kSignalStatusBase + gStopSignal;
}
