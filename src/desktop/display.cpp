// display.cpp: the window through sdl12-compat, which scales the 320 x 240 surface to the window
// or the screen with SDL 2's renderer.
#include "display.h"

#include <dlfcn.h>

#include <cstdio>
#include <cstring>

#include "demo/demo.h"

// sdl12-compat's window, for what SDL 1.2 cannot ask for; absent (null) under a real SDL 1.2.
extern "C" void* SDL12COMPAT_GetWindow(void) __attribute__((weak));

// sdl12-compat letterboxes the surface at any scale; SDL 2's renderer can keep the scale to whole
// numbers, so every show pixel is a square of whole screen pixels. SDL 2 is already loaded by
// sdl12-compat: RTLD_NOLOAD only finds it. Without it the picture is letterboxed all the same.
static void keepWholeScale() {
    if (SDL12COMPAT_GetWindow == nullptr) return;
    void* sdl2 = dlopen("libSDL2-2.0.so.0", RTLD_LAZY | RTLD_NOLOAD);
    if (sdl2 == nullptr) return;
    using GetRenderer = void* (*)(void*);
    using SetIntegerScale = int (*)(void*, int);
    const auto getRenderer = reinterpret_cast<GetRenderer>(dlsym(sdl2, "SDL_GetRenderer"));
    const auto setIntegerScale = reinterpret_cast<SetIntegerScale>(dlsym(sdl2, "SDL_RenderSetIntegerScale"));
    void* window = SDL12COMPAT_GetWindow();
    if (getRenderer != nullptr && setIntegerScale != nullptr && window != nullptr)
        if (void* renderer = getRenderer(window)) setIntegerScale(renderer, 1);
    dlclose(sdl2);
}

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
