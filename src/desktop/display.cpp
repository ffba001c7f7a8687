// display.cpp: the window through sdl12-compat, which scales the 320 x 240 surface to the window
// or the screen with SDL 2's renderer.
#include "display.h"

#include <cstdio>
#include <cstring>

#include "2d/frame.h"
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

void showPosition(int32_t t, bool paused, int permille) {
    static char shown[96];
    char title[96], waiting[32] = "";
    if (permille >= 0) snprintf(waiting, sizeof waiting, " (seeking: %d %%)", permille / 10);
    const int32_t tenths = t < 0 ? 0 : t / 100;
    snprintf(title, sizeof title, "%d:%02d.%d %s%s%s", tenths / 600, tenths / 10 % 60, tenths % 10,
             kShowWindows[showWindowAt(t)].name, paused ? " (paused)" : "", waiting);
    if (strcmp(title, shown) == 0) return;  // the window manager need not hear it 60 times a second
    strcpy(shown, title);
    SDL_WM_SetCaption(title, nullptr);
}

// The bar spans the grid row that the playback tests sample (y = 225), so they see it fill.
constexpr int kBarTop = 220, kBarBottom = 230, kBarMargin = 8;

void drawWaiting(uint32_t* frame, int permille, bool dim) {
    if (dim)
        for (int i = 0; i < kPixels; ++i) frame[i] = (frame[i] >> 2) & 0x3F3F3Fu;
    const int filled = kBarMargin + (kWidth - 2 * kBarMargin) * permille / 1000;
    for (int y = kBarTop; y < kBarBottom; ++y)
        for (int x = kBarMargin; x < kWidth - kBarMargin; ++x) frame[y * kWidth + x] = x < filled ? 0xFFFFFFu : 0x404040u;
}
