// sdlAudio.cpp: a MikMod driver built from libmikmod's software mixer (VC_*) over SDL 1.2 audio:
// MikMod mixes inside SDL's audio callback, so MikMod_Update never waits on the device, and each
// callback records how much music it has handed over and when.
#include "sdlAudio.h"

#include <SDL.h>
#include <mikmod.h>

#include <atomic>

#include "mixerDriver.h"

// 1,024 frames (23 ms at 44,100 Hz): short enough that the device's queue, and with it the
// uncertainty of the clock, stays small; long enough for a slow device to mix in time.
constexpr Uint16 kBufferFrames = 1024;

static bool gFailed = false;   // the device could not be opened: autodetection skips this driver
static bool gOpen = false;
static bool gPlaying = false;  // between PlayStart and PlayStop; only changed under the audio lock
static int gFrameBytes = 4;
static SDL_AudioSpec gSpec;

// The latest callback's record, published with a sequence count (odd while it is written) so the
// main thread reads a consistent pair without taking the audio lock on every clock read.
static std::atomic<uint32_t> gSequence{0};
static std::atomic<uint32_t> gFrames{0};
static std::atomic<uint32_t> gTicks{0};
static uint32_t gHanded = 0;  // frames of music handed over; written by the callback and PlayStart

static void publish(uint32_t frames, uint32_t ticks) {
    gSequence.fetch_add(1, std::memory_order_acq_rel);
    gFrames.store(frames, std::memory_order_relaxed);
    gTicks.store(ticks, std::memory_order_relaxed);
    gSequence.fetch_add(1, std::memory_order_release);
}

StreamReading readStream() {
    for (;;) {
        const uint32_t before = gSequence.load(std::memory_order_acquire);
        const StreamReading reading{gFrames.load(std::memory_order_relaxed),
                                    gTicks.load(std::memory_order_relaxed)};
        std::atomic_thread_fence(std::memory_order_acquire);
        if (before % 2 == 0 && gSequence.load(std::memory_order_relaxed) == before) return reading;
    }
}

StreamFormat streamFormat() { return {gSpec.freq, gSpec.samples}; }

bool sdlAudioOpen() { return gOpen; }

void lockSound() {
    if (gOpen) SDL_LockAudio();
}

void unlockSound() {
    if (gOpen) SDL_UnlockAudio();
}

static void fill(void*, Uint8* stream, int length) {
    const uint32_t ticks = SDL_GetTicks();  // when the device asked, before the mixing's own time
    auto* out = reinterpret_cast<SBYTE*>(stream);
    const ULONG bytes = static_cast<ULONG>(length);
    if (gPlaying) {
        const ULONG mixed = VC_WriteBytes(out, bytes);
        if (mixed < bytes) VC_SilenceBytes(out + mixed, bytes - mixed);
        gHanded += bytes / gFrameBytes;
    } else {
        VC_SilenceBytes(out, bytes);
    }
    publish(gHanded, ticks);
}

static BOOL isPresent() { return !gFailed; }

static int openDevice() {
    if (md_mode & DMODE_FLOAT) return MMERR_NO_FLOAT32;  // SDL 1.2 has no float samples
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) < 0) return MMERR_OPENING_AUDIO;
    SDL_AudioSpec wanted{};
    wanted.freq = md_mixfreq;
    wanted.format = (md_mode & DMODE_16BITS) ? AUDIO_S16SYS : AUDIO_U8;
    wanted.channels = (md_mode & DMODE_STEREO) ? 2 : 1;
    wanted.samples = kBufferFrames;
    wanted.callback = fill;
    // With no "obtained" record SDL converts to exactly this format itself, so the mixer's frame
    // size holds; it fills in the buffer length it settled on.
    if (SDL_OpenAudio(&wanted, nullptr) < 0) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return MMERR_OPENING_AUDIO;
    }
    gSpec = wanted;
    gFrameBytes = wanted.channels * ((md_mode & DMODE_16BITS) ? 2 : 1);
    return 0;
}

static int init() {
    const int error = openDevice();
    if (error != 0) {
        gFailed = true;
        MikMod_errno = error;
        return 1;
    }
    md_mode |= DMODE_SOFT_MUSIC;
    if (VC_Init() != 0) {
        SDL_CloseAudio();
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        gFailed = true;
        return 1;
    }
    gOpen = true;
    SDL_PauseAudio(0);  // silence until the player starts
    return 0;
}

static void exitDriver() {
    SDL_CloseAudio();  // stops the callback before the mixer goes
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    gOpen = false;
    gPlaying = false;
    VC_Exit();
}

static int reset() { return 1; }  // the show never changes the mixing settings mid-play

// Called inside Player_Start, which the show runs under lockSound: the next callback's first
// frame is the music's first.
static int playStart() {
    gHanded = 0;
    publish(0, SDL_GetTicks());
    gPlaying = true;
    return VC_PlayStart();
}

static void playStop() {
    gPlaying = false;
    VC_PlayStop();
}

static MDRIVER makeDriver() {
    MDRIVER driver = softwareMixerDriver("Show SDL audio", "SDL 1.2 audio callback driver", kSdlAudioAlias);
    driver.IsPresent = isPresent;
    driver.Init = init;
    driver.Exit = exitDriver;
    driver.Reset = reset;
    driver.PlayStart = playStart;
    driver.PlayStop = playStop;
    return driver;  // Update stays empty: the callback mixes
}

static MDRIVER gDriver = makeDriver();

void registerSdlAudioDriver() { MikMod_RegisterDriver(&gDriver); }
