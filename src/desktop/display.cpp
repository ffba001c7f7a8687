// display.cpp: the window through sdl12-compat, which scales the 320 x 240 surface to the window
// or the screen with SDL 2's renderer.
#include "display.h"

#include <cstdio>
#include <cstring>

#include "demo/demo.h"
#include "platform.h"

SDL_Surface* openDisplay(bool fullscreen) {
    // Single-buffered on purpose: each frame starts from the previous one's pixels.
    SDL_Surface* screen = SDL_SetVideoMode(320, 240, 32, SDL_HWSURFACE | (fullscreen ? SDL_FULLSCREEN : 0));
    if (screen != nullptr) keepWholeScale();
    return screen;
}

void toggleFullscreen(SDL_Surface* screen) {
    SDL_WM_ToggleFullScreen(screen);
    keepWholeScale();
}

void showPosition(int32_t t, bool paused) {
    static char shown[96];
    char title[96];
    const int32_t tenths = t < 0 ? 0 : t / 100;
    snprintf(title, sizeof title, "%d:%02d.%d %s%s", tenths / 600, tenths / 10 % 60, tenths % 10,
             kShowWindows[showWindowAt(t)].name, paused ? " (paused)" : "");
    if (strcmp(title, shown) == 0) return;  // the window manager need not hear it 60 times a second
    strcpy(shown, title);
    SDL_WM_SetCaption(title, nullptr);
}
