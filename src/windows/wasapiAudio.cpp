// wasapiAudio.cpp: the song through a shared-mode WASAPI stream of the door's own, whose audio clock
// says which of the stream's frames the device plays and when. SDL's audio cannot say how long
// Windows takes to play what it was handed (it differs with the device, its driver and the audio
// engine's period), so the clock takes it from there instead of assuming it.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <initguid.h>  // the interfaces' identifiers, defined here
#include <audioclient.h>
#include <mmdeviceapi.h>

#include <SDL.h>

#include <atomic>

#include "song/song.h"
#include "desktop/sound.h"

// About 90 ms queued in all, as through the other outputs; the engine wakes the stream every period
// (10 ms on most devices) and each wake tops the queue up.
constexpr REFERENCE_TIME kQueue = 930000;  // in 100 ns
constexpr int kFrameBytes = 4;
constexpr DWORD kReportEveryMs = 40;

static IAudioClient* gClient = nullptr;
static IAudioRenderClient* gRender = nullptr;
static IAudioClock* gClock = nullptr;
static HANDLE gWake = nullptr, gThread = nullptr, gOpened = nullptr;
static CRITICAL_SECTION gLock;
static std::atomic<bool> gQuit{false};
static bool gReady = false;  // set by the thread before it signals gOpened
static UINT32 gQueueFrames = 0;
static UINT64 gClockUnits = 0;  // the clock's units a second

template <typename T>
static void release(T*& object) {
    if (object != nullptr) object->Release();
    object = nullptr;
}

static void releaseAll() {
    release(gClock);
    release(gRender);
    release(gClient);
}

// The default device's client, opened for the song's own format: the engine converts it to the
// device's mix format (AUTOCONVERTPCM), as it does for any program that plays 44.1 kHz.
static bool openClient() {
    IMMDeviceEnumerator* devices = nullptr;
    IMMDevice* device = nullptr;
    bool ok = SUCCEEDED(CoCreateInstance(CLSID_MMDeviceEnumerator, nullptr, CLSCTX_ALL, IID_IMMDeviceEnumerator,
                                         reinterpret_cast<void**>(&devices))) &&
              SUCCEEDED(devices->GetDefaultAudioEndpoint(eRender, eConsole, &device)) &&
              SUCCEEDED(device->Activate(IID_IAudioClient, CLSCTX_ALL, nullptr, reinterpret_cast<void**>(&gClient)));
    release(device);
    release(devices);
    if (!ok) return false;
    WAVEFORMATEX format{};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = 2;
    format.nSamplesPerSec = kMixRate;
    format.wBitsPerSample = 16;
    format.nBlockAlign = kFrameBytes;
    format.nAvgBytesPerSec = kMixRate * kFrameBytes;
    const DWORD flags = AUDCLNT_STREAMFLAGS_EVENTCALLBACK | AUDCLNT_STREAMFLAGS_AUTOCONVERTPCM |
                        AUDCLNT_STREAMFLAGS_SRC_DEFAULT_QUALITY | AUDCLNT_STREAMFLAGS_NOPERSIST;
    return SUCCEEDED(gClient->Initialize(AUDCLNT_SHAREMODE_SHARED, flags, kQueue, 0, &format, nullptr)) &&
           SUCCEEDED(gClient->SetEventHandle(gWake)) && SUCCEEDED(gClient->GetBufferSize(&gQueueFrames)) &&
           SUCCEEDED(gClient->GetService(IID_IAudioRenderClient, reinterpret_cast<void**>(&gRender))) &&
           SUCCEEDED(gClient->GetService(IID_IAudioClock, reinterpret_cast<void**>(&gClock))) &&
           SUCCEEDED(gClock->GetFrequency(&gClockUnits)) && gClockUnits > 0;
}

// Hands the device as much as its queue has room for, under the lock the main thread's moves take.
static bool topUp() {
    UINT32 queued = 0;
    if (FAILED(gClient->GetCurrentPadding(&queued))) return false;
    const UINT32 room = gQueueFrames - queued;
    if (room == 0) return true;
    BYTE* data = nullptr;
    if (FAILED(gRender->GetBuffer(room, &data))) return false;
    handBuffer(reinterpret_cast<int16_t*>(data), int(room), SDL_GetTicks());
    return SUCCEEDED(gRender->ReleaseBuffer(room, 0));
}

// The device's position, the stream's frame it plays, with the performance counter's time of it
// (in 100 ns), carried back to SDL's tick count.
static void report() {
    UINT64 position = 0, at = 0;
    if (FAILED(gClock->GetPosition(&position, &at))) return;
    LARGE_INTEGER now, perSecond;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&perSecond);
    // Whole seconds first: the counter times 10^7 outgrows 64 bits after ten days at 10 MHz.
    const int64_t nowHns = now.QuadPart / perSecond.QuadPart * 10000000 +
                           now.QuadPart % perSecond.QuadPart * 10000000 / perSecond.QuadPart;
    const int64_t ageMs = (nowHns - int64_t(at)) / 10000;
    const int64_t frame = int64_t(position * kMixRate / gClockUnits);
    reportHeard(frame, SDL_GetTicks() - uint32_t(ageMs < 0 ? 0 : ageMs));
}

static DWORD WINAPI play(void*) {
    // Its own apartment: the main thread's belongs to SDL.
    const bool com = SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED));
    EnterCriticalSection(&gLock);
    gReady = com && openClient() && topUp() && SUCCEEDED(gClient->Start());
    LeaveCriticalSection(&gLock);
    SetEvent(gOpened);
    if (gReady) {
        SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL);
        DWORD reported = 0;
        while (!gQuit) {
            WaitForSingleObject(gWake, 200);
            EnterCriticalSection(&gLock);
            const bool going = topUp();
            LeaveCriticalSection(&gLock);
            if (!going) break;  // the device went away: no more is handed, as with SDL's audio
            if (GetTickCount() - reported >= kReportEveryMs) {
                report();
                reported = GetTickCount();
            }
        }
        gClient->Stop();
    }
    releaseAll();
    if (com) CoUninitialize();
    return 0;
}

static void closeWasapi() {
    if (gThread == nullptr) return;
    gQuit = true;
    SetEvent(gWake);
    WaitForSingleObject(gThread, INFINITE);  // no buffer is handed once this returns
    CloseHandle(gThread);
    CloseHandle(gWake);
    CloseHandle(gOpened);
    DeleteCriticalSection(&gLock);
    gThread = gWake = gOpened = nullptr;
}

static bool openWasapi(StreamFormat& format) {
    InitializeCriticalSection(&gLock);
    gQuit = false;
    gWake = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    gOpened = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    gThread = gWake && gOpened ? CreateThread(nullptr, 0, play, nullptr, 0, nullptr) : nullptr;
    if (gThread != nullptr) WaitForSingleObject(gOpened, INFINITE);
    if (gThread == nullptr || !gReady) {
        if (gThread == nullptr) {
            if (gWake) CloseHandle(gWake);
            if (gOpened) CloseHandle(gOpened);
            DeleteCriticalSection(&gLock);
            gWake = gOpened = nullptr;
        } else {
            closeWasapi();
        }
        return false;
    }
    format = {kMixRate, int(gQueueFrames / 2)};
    return true;
}

static void lockWasapi() { EnterCriticalSection(&gLock); }
static void unlockWasapi() { LeaveCriticalSection(&gLock); }

const SoundOutput kWasapiOutput{openWasapi, closeWasapi, lockWasapi, unlockWasapi};
