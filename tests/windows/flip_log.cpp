// flip_log.cpp: a stand-in SDL2.dll for the Windows check, the counterpart of the Linux flip log.
// It forwards every call to the real SDL 2 (beside it as SDL2real.dll, through the export table
// test-windows.sh writes) but two: it keeps the 8 x 8 grid of each frame the show hands over, and
// after each present appends the wall time and that grid to flips.log in the current folder, so
// the check learns when each frame was handed to the display, as it does of a browser's canvas.
// It also stands in for a 60 Hz display's refresh, which Wine's presents on Xvfb do not wait
// for: each present returns at the next one, as on a Windows machine with its vertical sync.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {

using Update = int (*)(void*, const void*, const void*, int);
using Present = void (*)(void*);

HMODULE gReal = nullptr;
Update gUpdate = nullptr;
Present gPresent = nullptr;
FILE* gLog = nullptr;
char gGrid[64 * 6 + 1] = "";

bool load() {
    if (gReal == nullptr) {
        gReal = LoadLibraryW(L"SDL2real.dll");
        if (gReal == nullptr) return false;
        gUpdate = reinterpret_cast<Update>(reinterpret_cast<void*>(GetProcAddress(gReal, "SDL_UpdateTexture")));
        gPresent = reinterpret_cast<Present>(reinterpret_cast<void*>(GetProcAddress(gReal, "SDL_RenderPresent")));
        gLog = fopen("flips.log", "w");
    }
    return gUpdate != nullptr && gPresent != nullptr && gLog != nullptr;
}

}  // namespace

// The grid's points are the ones ffmpeg's nearest-neighbour scaling to 8 x 8 takes, which the
// check samples the renderer's frames with.
extern "C" __declspec(dllexport) int SDL_UpdateTexture(void* texture, const void* rect, const void* pixels, int pitch) {
    if (!load()) return -1;
    const auto* bytes = static_cast<const uint8_t*>(pixels);
    char* at = gGrid;
    for (int y = 15; y < 240; y += 30)
        for (int x = 20; x < 320; x += 40) {
            uint32_t pixel;
            memcpy(&pixel, bytes + y * pitch + x * 4, 4);
            at += snprintf(at, 7, "%06x", unsigned(pixel & 0xFFFFFF));
        }
    return gUpdate(texture, rect, pixels, pitch);
}

extern "C" __declspec(dllexport) void SDL_RenderPresent(void* renderer) {
    if (!load()) return;
    gPresent(renderer);
    LARGE_INTEGER now, perSecond;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&perSecond);
    const int64_t refresh = perSecond.QuadPart / 60, next = (now.QuadPart / refresh + 1) * refresh;
    const DWORD sleepMs = DWORD((next - now.QuadPart) * 1000 / perSecond.QuadPart);
    if (sleepMs > 1) Sleep(sleepMs - 1);
    while (QueryPerformanceCounter(&now), now.QuadPart < next) Sleep(0);
    FILETIME wall;
    GetSystemTimePreciseAsFileTime(&wall);
    const uint64_t since1601 = (uint64_t(wall.dwHighDateTime) << 32) | wall.dwLowDateTime;
    fprintf(gLog, "%.6f %s\n", double(since1601 - 116444736000000000ULL) / 1e7, gGrid);
    fflush(gLog);
}
