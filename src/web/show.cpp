// web.cpp: the show's shell in a web page: the canvas, the music, one frame per display refresh.
// The page (web/page.js) calls startShow from the click that lets the page make sound; the
// browser then calls showFrame once per display refresh until the song ends or a key is pressed.
#include <SDL.h>
#include <emscripten.h>
#include <mikmod.h>

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "2d/frame.h"
#include "demo/demo.h"

// Seconds of the song heard so far, from the browser's audio clock (src/main/webClock.js).
extern "C" double heardSongSeconds();
// Starts counting the audio buffers SDL hands the browser; call before the music starts.
extern "C" void watchAudioQueue();

static SDL_Surface* gScreen = nullptr;
static MODULE* gModule = nullptr;
static SDL_Event gEvent;             // keeps the type of the last event polled, as on the desktop
static uint32_t gFrame[kPixels];     // the show's single buffer: each frame starts from the last

// The show clock: milliseconds of the song heard, so the pictures follow what the listener hears
// whatever the browser's audio queue holds ahead. It stays at 0 until the song is audible.
static int32_t getTime() {
    const double seconds = heardSongSeconds();
    return seconds > 0 ? static_cast<int32_t>(seconds * 1000.0) : 0;
}

// Copies the frame to the canvas. Emscripten's SDL surface holds canvas-order words (red in the
// low byte) and fills in the alpha itself, so only red and blue trade places.
static void present(const uint32_t* frame) {
    SDL_LockSurface(gScreen);
    uint32_t* pixels = static_cast<uint32_t*>(gScreen->pixels);
    for (int i = 0; i < kPixels; ++i) {
        const uint32_t p = frame[i];
        pixels[i] = ((p >> 16) & 0xFFu) | (p & 0xFF00u) | ((p & 0xFFu) << 16);
    }
    SDL_UnlockSurface(gScreen);
    SDL_Flip(gScreen);
}

static void stopShow() {
    emscripten_cancel_main_loop();
    Player_Stop();
    Player_Free(gModule);
    gModule = nullptr;
    MikMod_Exit();
    EM_ASM({ if (Module.onShowEnd) Module.onShowEnd(); });  // the page offers to play again
}

// One frame, in the desktop loop's order, without its busy wait: the browser paces the calls.
static void showFrame() {
    if (gEvent.type == SDL_KEYDOWN || !Player_Active()) {
        stopShow();
        return;
    }
    SDL_PollEvent(&gEvent);
    doDemoAt(gFrame, getTime());
    present(gFrame);
    MikMod_Update();
}

extern "C" {

// Starts the music and the frame loop; the page calls it from a click, so the browser lets the
// audio start. Returns 0, or 1 when there is no sound or no module; the page shows the message.
EMSCRIPTEN_KEEPALIVE int startShow() {
    if (gModule != nullptr) return 0;
    md_mode |= DMODE_SOFT_MUSIC;
    if (MikMod_Init("") != 0) {
        fprintf(stderr, "Could not initialize sound, reason: %s\n", MikMod_strerror(MikMod_errno));
        return 1;
    }
    watchAudioQueue();
    gModule = Player_Load("musa.xm", 64, 0);
    if (gModule == nullptr) {
        fprintf(stderr, "Could not load module, reason: %s\n", MikMod_strerror(MikMod_errno));
        MikMod_Exit();
        return 1;
    }
    memset(gFrame, 0, sizeof gFrame);  // a new run starts on black, as a new window does
    while (SDL_PollEvent(&gEvent)) {}  // keys pressed before the click must not end the new run
    gEvent = SDL_Event{};
    Player_Start(gModule);
    emscripten_set_main_loop(showFrame, 0, 0);  // 0: at the display's rate
    return 0;
}

// For the page's tests: draws show time t over the current frame and copies it to the canvas
// exactly as a frame of the show is; black first when fromBlack is set.
EMSCRIPTEN_KEEPALIVE void drawShowTime(int32_t t, int fromBlack) {
    if (fromBlack) memset(gFrame, 0, sizeof gFrame);
    doDemoAt(gFrame, t);
    present(gFrame);
}

// For the page's tests: the show clock now, and the song position MikMod's player has reached
// (ahead of what is heard by the browser's audio queue), both in milliseconds.
EMSCRIPTEN_KEEPALIVE int32_t showClock() { return getTime(); }
EMSCRIPTEN_KEEPALIVE int32_t mixedSongTime() {
    return gModule != nullptr ? static_cast<int32_t>(gModule->sngtime * 1000ull / 1024) : -1;
}

}  // extern "C"

int main() {
    if (SDL_Init(SDL_INIT_TIMER | SDL_INIT_VIDEO) < 0) {
        fprintf(stderr, "Couldn't initialize SDL: %s\n", SDL_GetError());
        return 1;
    }
    gScreen = SDL_SetVideoMode(kWidth, kHeight, 32, SDL_HWSURFACE);
    if (gScreen == nullptr) {
        fprintf(stderr, "Couldn't set 320x240x32 video mode: %s\n", SDL_GetError());
        return 1;
    }
    initDemo();
    MikMod_RegisterAllDrivers();
    MikMod_RegisterAllLoaders();
    present(gFrame);  // black until the click
    EM_ASM({ if (Module.onShowReady) Module.onShowReady(); });
    return 0;
}
