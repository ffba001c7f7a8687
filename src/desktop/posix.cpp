// posix.cpp: the desktop door's hooks on Linux: environment, signals, standard error, the
// program's folder and its files, and sdl12-compat's renderer.
#include <dlfcn.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "platform.h"

void prepareDoor() {}

void setDefaultEnvironment(const char* name, const char* value) { setenv(name, value, 0); }

static void (*gStop)(int) = nullptr;
static void onSignal(int number) { gStop(number); }

// SDL turns Ctrl+C and SIGTERM into a close request, which the show ignores on purpose; these
// handlers, installed after SDL's, end the loop instead.
void catchStopRequests(void (*stop)(int)) {
    gStop = stop;
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

void reportFailure(const std::string& message) { fputs(message.c_str(), stderr); }

std::string programFolder() {
    std::error_code error;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? "" : program.parent_path().string() + "/";
}

bool fileExists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }

std::string openableIn(const std::string& folder, const char* name) { return folder + name; }

// sdl12-compat's window, for what SDL 1.2 cannot ask for; absent (null) under a real SDL 1.2.
extern "C" void* SDL12COMPAT_GetWindow(void) __attribute__((weak));

// sdl12-compat letterboxes the surface at any scale; SDL 2's renderer can keep the scale to whole
// numbers, so every show pixel is a square of whole screen pixels. SDL 2 is already loaded by
// sdl12-compat: RTLD_NOLOAD only finds it. Without it the picture is letterboxed all the same.
void keepWholeScale() {
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
