// display.h: the window: its video mode, full screen with whole-number scaling, and its title.
#pragma once
#include <SDL.h>

// The 320 x 240 x 32 single-buffered surface, in a window or on the whole screen; null on failure.
SDL_Surface* openDisplay(bool fullscreen);

// Between a window and the whole screen.
void toggleFullscreen(SDL_Surface* screen);

// The window's title: the show time as m:ss.s and the scene's name, and whether it is paused.
void showPosition(int32_t t, bool paused);
