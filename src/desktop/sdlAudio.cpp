// sdlAudio.cpp: SDL 1.2's audio callback playing the song mixed ahead: a copy per callback, so the
// device is never kept waiting on the mixing, whatever the main thread is doing.
#include "sdlAudio.h"

#include <SDL.h>

#include <atomic>

#include "song/song.h"

// 2,048 frames (46 ms at 44,100 Hz): with the one the device plays, some 90 ms queued, which rides
// out a busy machine's scheduling (SDL 2's PulseAudio output hands the buffer over from a thread
// of libpulse's that runs at ordinary priority); the clock subtracts this queue, so it costs no
// sync, only that much delay before a seek is heard and before a pause stops.
constexpr Uint16 kBufferFrames = 2048;

static SongPlayer* gPlayer = nullptr;
static SDL_AudioSpec gSpec;

// The latest callback's record, published with a sequence count (odd while it is written) so the
// main thread reads a consistent set without taking the audio lock on every clock read.
static std::atomic<uint32_t> gSequence{0};
static std::atomic<uint32_t> gStream{0}, gSongAt{0}, gHanded{0}, gMoves{0}, gTicks{0};
static std::atomic<bool> gAny{false};
static uint32_t gStreamFrames = 0;  // frames handed to the device so far; the callback's own

static void fill(void*, Uint8* stream, int length) {
    const uint32_t ticks = SDL_GetTicks();  // when the device asked
    const uint32_t songAt = uint32_t(gPlayer->position.load());
    const uint32_t moves = gPlayer->moves.load();  // moves happen under the audio lock: not now
    const int frames = length / 4;
    const int handed = playSong(*gPlayer, reinterpret_cast<int16_t*>(stream), frames);
    gSequence.fetch_add(1, std::memory_order_acq_rel);
    gStream.store(gStreamFrames, std::memory_order_relaxed);
    gSongAt.store(songAt, std::memory_order_relaxed);
    gHanded.store(uint32_t(handed), std::memory_order_relaxed);
    gMoves.store(moves, std::memory_order_relaxed);
    gTicks.store(ticks, std::memory_order_relaxed);
    gAny.store(true, std::memory_order_relaxed);
    gSequence.fetch_add(1, std::memory_order_release);
    gStreamFrames += uint32_t(frames);
}

StreamReading readStream() {
    for (;;) {
        const uint32_t before = gSequence.load(std::memory_order_acquire);
        const StreamReading reading{gStream.load(std::memory_order_relaxed), gSongAt.load(std::memory_order_relaxed),
                                    gHanded.load(std::memory_order_relaxed), gMoves.load(std::memory_order_relaxed),
                                    gTicks.load(std::memory_order_relaxed), gAny.load(std::memory_order_relaxed)};
        std::atomic_thread_fence(std::memory_order_acquire);
        if (before % 2 == 0 && gSequence.load(std::memory_order_relaxed) == before) return reading;
    }
}

StreamFormat streamFormat() { return {gSpec.freq, gSpec.samples}; }

bool openSdlAudio(SongPlayer& player) {
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) < 0) return false;
    gPlayer = &player;
    SDL_AudioSpec wanted{};
    wanted.freq = kMixRate;
    wanted.format = AUDIO_S16SYS;
    wanted.channels = 2;
    wanted.samples = kBufferFrames;
    wanted.callback = fill;
    // With no "obtained" record SDL converts to exactly this format itself; it fills in the
    // buffer length it settled on.
    if (SDL_OpenAudio(&wanted, nullptr) < 0) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return false;
    }
    gSpec = wanted;
    SDL_PauseAudio(0);
    return true;
}

void closeSdlAudio() {
    SDL_CloseAudio();  // the callback has stopped once this returns
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

void lockSound() { SDL_LockAudio(); }
void unlockSound() { SDL_UnlockAudio(); }
