// display.h: the window: its video mode, full screen with whole-number scaling, and its title.
#pragma once
#include <SDL.h>

// The 320 x 240 x 32 single-buffered surface, in a window or on the whole screen; null on failure.
SDL_Surface* openDisplay(bool fullscreen);

// Between a window and the whole screen.
void toggleFullscreen(SDL_Surface* screen);

// The window's title: the show time as m:ss.s and the scene's name, and whether it is paused or
// waiting for its song (permille: how far that is; -1 when not waiting).
void showPosition(int32_t t, bool paused, int permille = -1);

// The waiting picture, while a seek on one processor waits for its song: the frame held, dimmed to
// a quarter (`dim`, once), with a bar along its bottom that fills from the left as the song is mixed.
void drawWaiting(uint32_t* frame, int permille, bool dim);
