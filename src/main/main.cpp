// main.cpp: the show's shell: window, music, the paced frame loop and the order of shutdown.
#include <SDL.h>
#include <mikmod.h>

#include <cstdio>
#include <cstdlib>

#include "clock.h"
#include "demo.h"
#include "pacing.h"

int main(int, char**) {
    // 320 x 240 is tiny on today's screens: ask sdl12-compat for a crisp whole-number scale,
    // unless the user's environment already chose something else.
    setenv("SDL12COMPAT_WINDOW_SCALING", "3", 0);
    setenv("SDL12COMPAT_SCALE_METHOD", "nearest", 0);

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

    initDemo();  // before the music and the clock, so its time is not show time

    MikMod_RegisterAllDrivers();
    MikMod_RegisterAllLoaders();
    md_mode |= DMODE_SOFT_MUSIC;
    if (MikMod_Init("") != 0) {
        fprintf(stderr, "Could not initialize sound, reason: %s\n", MikMod_strerror(MikMod_errno));
        return -1;
    }
    MODULE* module = Player_Load("musa.xm", 64, 0);
    if (module == nullptr) {
        fprintf(stderr, "Could not load module, reason: %s\n", MikMod_strerror(MikMod_errno));
        MikMod_Exit();
        return 1;  // a show without its music has failed
    }
    Player_Start(module);
    int32_t stamp = getTime();  // show time 0 is just after the music started

    SDL_Event event{};  // keeps the type of the last event polled between events
    for (;;) {
        if (event.type == SDL_KEYDOWN) break;
        if (!Player_Active()) break;
        SDL_PollEvent(&event);  // one event per frame; a close request is taken and ignored
        SDL_LockSurface(screen);
        doDemo(static_cast<uint32_t*>(screen->pixels));
        paceFrame(stamp, getTime);
        stamp = getTime();
        SDL_UnlockSurface(screen);
        SDL_Flip(screen);
        MikMod_Update();
    }

    Player_Stop();
    Player_Free(module);
    MikMod_Exit();
    return 0;
}
