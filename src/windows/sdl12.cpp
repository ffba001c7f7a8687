// sdl12.cpp: SDL 1.2 for the desktop door on Windows: the calls the door makes and no others, over
// SDL 2, which is loaded from SDL2.dll beside the program when SDL starts (as sdl12-compat does on
// Linux, whose Windows build cannot be made from Debian's packages here: its source is not in the
// archive this machine reaches). The SDL 1.2 types come from the same headers as Linux's build; the
// SDL 2 calls are looked up by name, so the two APIs' clashing names never meet in one file.
// The window honours sdl12-compat's settings: SDL12COMPAT_WINDOW_SCALING, SDL12COMPAT_SCALE_METHOD
// and SDL12COMPAT_SYNC_TO_VBLANK, and keeps the scale to whole numbers.
#include <SDL.h>
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#undef CreateWindow  // windows.h's macro for CreateWindowA; here it is SDL 2's
#undef main  // SDL_main.h renamed the door's main to SDL_main; the program's own is below

namespace {

// SDL 2's values that this file needs (SDL_video.h, SDL_render.h, SDL_pixels.h, SDL_events.h,
// SDL_keycode.h of SDL 2.26).
constexpr uint32_t kWindowFullscreenDesktop = 0x1001;
constexpr int kWindowPosCentered = 0x2FFF0000;
constexpr uint32_t kRendererSoftware = 0x1, kRendererPresentVsync = 0x4;
constexpr uint32_t kPixelFormatArgb8888 = 0x16362004;
constexpr int kTextureAccessStreaming = 1;
constexpr uint32_t kEventQuit = 0x100, kEventKeyDown = 0x300, kEventKeyUp = 0x301;
constexpr int32_t kScancodeMask = 1 << 30;

// SDL 2's event as far as the keyboard goes; the union is 56 bytes.
union Event2 {
    uint32_t type;
    struct {
        uint32_t type, timestamp, windowId;
        uint8_t state, repeat, padding2, padding3;
        int32_t scancode, sym;
        uint16_t mod;
        uint32_t unused;
    } key;
    uint8_t padding[56];
};

struct Sdl2 {
    HMODULE library = nullptr;
    int (*Init)(uint32_t);
    int (*InitSubSystem)(uint32_t);
    void (*QuitSubSystem)(uint32_t);
    void (*Quit)();
    const char* (*GetError)();
    uint32_t (*GetTicks)();
    void (*Delay)(uint32_t);
    int (*OpenAudio)(SDL_AudioSpec*, SDL_AudioSpec*);  // SDL 2's SDL_AudioSpec has 1.2's layout
    void (*PauseAudio)(int);
    void (*LockAudio)();
    void (*UnlockAudio)();
    void (*CloseAudio)();
    int (*SetHint)(const char*, const char*);
    void* (*CreateWindow)(const char*, int, int, int, int, uint32_t);
    void (*DestroyWindow)(void*);
    uint32_t (*GetWindowFlags)(void*);
    void (*SetWindowTitle)(void*, const char*);
    int (*SetWindowFullscreen)(void*, uint32_t);
    void* (*CreateRenderer)(void*, int, uint32_t);
    void (*DestroyRenderer)(void*);
    int (*RenderSetLogicalSize)(void*, int, int);
    int (*RenderSetIntegerScale)(void*, int);
    int (*RenderClear)(void*);
    int (*RenderCopy)(void*, void*, const void*, const void*);
    void (*RenderPresent)(void*);
    void* (*CreateTexture)(void*, uint32_t, int, int, int);
    void (*DestroyTexture)(void*);
    int (*UpdateTexture)(void*, const void*, const void*, int);
    int (*PollEvent)(Event2*);
};

Sdl2 gSdl2;
char gError[256] = "";  // this layer's own failures, before SDL 2 is there to hold them

template <typename Function>
bool find(Function& function, const char* name) {
    function = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(gSdl2.library, name)));
    if (function == nullptr) snprintf(gError, sizeof gError, "SDL2.dll has no %s", name);
    return function != nullptr;
}

bool loadSdl2() {
    if (gSdl2.library != nullptr) return true;
    // The program's own folder comes first in LoadLibrary's search, so the SDL2.dll beside it.
    HMODULE library = LoadLibraryW(L"SDL2.dll");
    if (library == nullptr) {
        snprintf(gError, sizeof gError, "SDL2.dll could not be loaded (Windows error %lu)", GetLastError());
        return false;
    }
    gSdl2.library = library;
#define FIND(name) find(gSdl2.name, "SDL_" #name)
    if (FIND(Init) && FIND(InitSubSystem) && FIND(QuitSubSystem) && FIND(Quit) && FIND(GetError) &&
        FIND(GetTicks) && FIND(Delay) && FIND(OpenAudio) && FIND(PauseAudio) && FIND(LockAudio) &&
        FIND(UnlockAudio) && FIND(CloseAudio) && FIND(SetHint) && FIND(CreateWindow) &&
        FIND(DestroyWindow) && FIND(GetWindowFlags) && FIND(SetWindowTitle) && FIND(SetWindowFullscreen) &&
        FIND(CreateRenderer) && FIND(DestroyRenderer) && FIND(RenderSetLogicalSize) &&
        FIND(RenderSetIntegerScale) && FIND(RenderClear) && FIND(RenderCopy) && FIND(RenderPresent) &&
        FIND(CreateTexture) && FIND(DestroyTexture) && FIND(UpdateTexture) && FIND(PollEvent))
        return true;
#undef FIND
    FreeLibrary(library);
    gSdl2.library = nullptr;
    return false;
}

// The window and what shows the surface in it.
struct Screen {
    void* window = nullptr;
    void* renderer = nullptr;
    void* texture = nullptr;
    std::vector<uint32_t> pixels;
    SDL_PixelFormat format{};
    SDL_Surface surface{};
};
Screen gScreen;

void closeScreen() {
    if (gScreen.texture != nullptr) gSdl2.DestroyTexture(gScreen.texture);
    if (gScreen.renderer != nullptr) gSdl2.DestroyRenderer(gScreen.renderer);
    if (gScreen.window != nullptr) gSdl2.DestroyWindow(gScreen.window);
    gScreen.texture = gScreen.renderer = gScreen.window = nullptr;
}

int environmentNumber(const char* name, int fallback) {
    const char* value = getenv(name);
    return value != nullptr && *value != '\0' ? atoi(value) : fallback;
}

// SDL 2's keys as SDL 1.2 names them: the printable ones are the same characters; of the others,
// those a player uses and their neighbours. The rest are keys all the same, without a name.
SDLKey key12(int32_t sym) {
    if (sym >= 0 && sym < 128) return static_cast<SDLKey>(sym);
    switch (sym & ~kScancodeMask) {
        case 73: return SDLK_INSERT;
        case 74: return SDLK_HOME;
        case 75: return SDLK_PAGEUP;
        case 77: return SDLK_END;
        case 78: return SDLK_PAGEDOWN;
        case 79: return SDLK_RIGHT;
        case 80: return SDLK_LEFT;
        case 81: return SDLK_DOWN;
        case 82: return SDLK_UP;
        default: break;
    }
    const int function = (sym & ~kScancodeMask) - 58;  // F1 to F12
    if ((sym & kScancodeMask) != 0 && function >= 0 && function < 12) return static_cast<SDLKey>(SDLK_F1 + function);
    return SDLK_UNKNOWN;
}

}  // namespace

extern "C" {

int SDL_Init(Uint32 flags) {
    if (!loadSdl2()) return -1;
    return gSdl2.Init(flags);
}

int SDL_InitSubSystem(Uint32 flags) { return loadSdl2() ? gSdl2.InitSubSystem(flags) : -1; }

void SDL_QuitSubSystem(Uint32 flags) {
    if (gSdl2.library != nullptr) gSdl2.QuitSubSystem(flags);
}

void SDL_Quit(void) {
    if (gSdl2.library == nullptr) return;
    closeScreen();
    gSdl2.Quit();
}

char* SDL_GetError(void) {
    return const_cast<char*>(gError[0] != '\0' || gSdl2.library == nullptr ? gError : gSdl2.GetError());
}

Uint32 SDL_GetTicks(void) { return gSdl2.GetTicks(); }
void SDL_Delay(Uint32 ms) { gSdl2.Delay(ms); }

int SDL_OpenAudio(SDL_AudioSpec* desired, SDL_AudioSpec* obtained) { return gSdl2.OpenAudio(desired, obtained); }
void SDL_PauseAudio(int pause) { gSdl2.PauseAudio(pause); }
void SDL_LockAudio(void) { gSdl2.LockAudio(); }
void SDL_UnlockAudio(void) { gSdl2.UnlockAudio(); }
void SDL_CloseAudio(void) { gSdl2.CloseAudio(); }

// Only what the door asks for: one 32-bit surface in XRGB order, which a streaming texture takes
// as it is, scaled by whole numbers with black bars.
SDL_Surface* SDL_SetVideoMode(int width, int height, int bpp, Uint32 flags) {
    if (bpp != 32) {
        snprintf(gError, sizeof gError, "only 32 bits a pixel here");
        return nullptr;
    }
    closeScreen();
    const int scale = std::max(1, environmentNumber("SDL12COMPAT_WINDOW_SCALING", 1));
    const char* method = getenv("SDL12COMPAT_SCALE_METHOD");
    gSdl2.SetHint("SDL_RENDER_SCALE_QUALITY", method != nullptr && strcmp(method, "linear") == 0 ? "linear" : "nearest");
    const bool vsync = environmentNumber("SDL12COMPAT_SYNC_TO_VBLANK", 0) != 0;
    gScreen.window = gSdl2.CreateWindow("Nocturne", kWindowPosCentered, kWindowPosCentered, width * scale,
                                        height * scale, (flags & SDL_FULLSCREEN) ? kWindowFullscreenDesktop : 0);
    if (gScreen.window == nullptr) return nullptr;
    gScreen.renderer = gSdl2.CreateRenderer(gScreen.window, -1, vsync ? kRendererPresentVsync : 0);
    if (gScreen.renderer == nullptr) gScreen.renderer = gSdl2.CreateRenderer(gScreen.window, -1, kRendererSoftware);
    if (gScreen.renderer == nullptr) return closeScreen(), nullptr;
    gSdl2.RenderSetLogicalSize(gScreen.renderer, width, height);
    gSdl2.RenderSetIntegerScale(gScreen.renderer, 1);
    gScreen.texture = gSdl2.CreateTexture(gScreen.renderer, kPixelFormatArgb8888, kTextureAccessStreaming, width, height);
    if (gScreen.texture == nullptr) return closeScreen(), nullptr;

    gScreen.pixels.assign(size_t(width) * height, 0);
    SDL_PixelFormat& format = gScreen.format;
    format = {};
    format.BitsPerPixel = 32;
    format.BytesPerPixel = 4;
    format.Rshift = 16;
    format.Gshift = 8;
    format.Rmask = 0xFF0000;
    format.Gmask = 0xFF00;
    format.Bmask = 0xFF;
    format.alpha = 255;
    SDL_Surface& surface = gScreen.surface;
    surface = {};
    surface.flags = SDL_HWSURFACE | (flags & SDL_FULLSCREEN);
    surface.format = &format;
    surface.w = width;
    surface.h = height;
    surface.pitch = static_cast<Uint16>(width * 4);
    surface.pixels = gScreen.pixels.data();
    surface.clip_rect = {0, 0, static_cast<Uint16>(width), static_cast<Uint16>(height)};
    surface.refcount = 1;
    return &surface;
}

int SDL_LockSurface(SDL_Surface*) { return 0; }
void SDL_UnlockSurface(SDL_Surface*) {}

int SDL_Flip(SDL_Surface* surface) {
    if (gScreen.texture == nullptr) return -1;
    gSdl2.UpdateTexture(gScreen.texture, nullptr, surface->pixels, surface->pitch);
    gSdl2.RenderClear(gScreen.renderer);
    gSdl2.RenderCopy(gScreen.renderer, gScreen.texture, nullptr, nullptr);
    gSdl2.RenderPresent(gScreen.renderer);  // on the refresh when asked for
    return 0;
}

// Key presses, key releases and close requests; SDL 1.2 repeats no keys unless asked, so a held
// key is one press. Everything else is passed over.
int SDL_PollEvent(SDL_Event* event) {
    Event2 next;
    while (gSdl2.PollEvent(&next)) {
        if (next.type == kEventQuit) {
            if (event != nullptr) event->type = SDL_QUIT;
            return 1;
        }
        if ((next.type != kEventKeyDown && next.type != kEventKeyUp) || next.key.repeat != 0) continue;
        if (event != nullptr) {
            *event = {};
            event->key.type = next.type == kEventKeyDown ? SDL_KEYDOWN : SDL_KEYUP;
            event->key.state = next.type == kEventKeyDown ? SDL_PRESSED : SDL_RELEASED;
            event->key.keysym.scancode = static_cast<Uint8>(next.key.scancode);
            event->key.keysym.sym = key12(next.key.sym);
        }
        return 1;
    }
    return 0;
}

void SDL_WM_SetCaption(const char* title, const char*) {
    if (gScreen.window != nullptr) gSdl2.SetWindowTitle(gScreen.window, title);
}

int SDL_WM_ToggleFullScreen(SDL_Surface* surface) {
    if (gScreen.window == nullptr) return 0;
    const bool full = (gSdl2.GetWindowFlags(gScreen.window) & kWindowFullscreenDesktop) == kWindowFullscreenDesktop;
    if (gSdl2.SetWindowFullscreen(gScreen.window, full ? 0 : kWindowFullscreenDesktop) != 0) return 0;
    surface->flags ^= SDL_FULLSCREEN;
    return 1;
}

}  // extern "C"

// The program starts here: SDL_main.h made the door's main SDL_main, as SDL 1.2 does on Windows.
int main(int argc, char** argv) { return SDL_main(argc, argv); }
