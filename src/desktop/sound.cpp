// sound.cpp: the choice of output, and the records of the latest buffer and the server's latest
// report, which an output's thread writes and the main thread's clock reads.
#include "sound.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "song/song.h"

static SongPlayer* gPlayer = nullptr;
static const SoundOutput* gOutput = nullptr;
static StreamFormat gFormat{kMixRate, 2048};

// A lock of their own, held only to copy a few words, so a clock read never waits on the output's
// lock (held while the main thread moves the player) or on a buffer being filled.
static std::mutex gRecordLock;
static StreamReading gReading{};
static HeardReport gHeard{};
static uint32_t gStreamFrames = 0;  // frames handed to the device so far; the output thread's own
static std::atomic<uint32_t> gChanges{0};

void handBuffer(int16_t* out, int frames, uint32_t ticks) {
    const uint32_t songAt = uint32_t(gPlayer->position.load());
    const uint32_t moves = gPlayer->moves.load();  // moves happen under the output's lock: not now
    const int handed = playSong(*gPlayer, out, frames);
    {
        const std::lock_guard<std::mutex> hold(gRecordLock);
        gReading = {gStreamFrames, uint32_t(frames), songAt, uint32_t(handed), moves, ticks, true};
    }
    gChanges.fetch_add(1, std::memory_order_release);
    gStreamFrames += uint32_t(frames);
}

void reportHeard(int64_t frame, uint32_t ticks) {
    {
        const std::lock_guard<std::mutex> hold(gRecordLock);
        gHeard = {frame, ticks, gHeard.count + 1};
    }
    gChanges.fetch_add(1, std::memory_order_release);
}

uint32_t soundChanges() { return gChanges.load(std::memory_order_relaxed); }

StreamReading readStream() {
    const std::lock_guard<std::mutex> hold(gRecordLock);
    return gReading;
}

HeardReport readHeard() {
    const std::lock_guard<std::mutex> hold(gRecordLock);
    return gHeard;
}

StreamFormat streamFormat() { return gFormat; }

bool openSound(SongPlayer& player) {
    gPlayer = &player;
    const char* named = getenv("SDL_AUDIODRIVER");
#if defined(SHOW_PULSE) || defined(SHOW_WASAPI)
#ifdef SHOW_PULSE
    const SoundOutput& own = kPulseOutput;
#else
    const SoundOutput& own = kWasapiOutput;
#endif
    // A driver the user named is SDL's to open,
    if (named == nullptr && own.open(gFormat)) {
        gOutput = &own;
        return true;
    }
#endif
#ifdef SHOW_PIPEWIRE
    // but for PipeWire's: SDL's stream there cannot say its delay, which follows the graph's
    // quantum, and the door's own can. It also plays where PipeWire runs without its pulse server.
    if ((named == nullptr || strcmp(named, "pipewire") == 0) && kPipeWireOutput.open(gFormat)) {
        gOutput = &kPipeWireOutput;
        return true;
    }
#endif
    if (!kSdlOutput.open(gFormat)) return false;
    gOutput = &kSdlOutput;
    return true;
}

void closeSound() { gOutput->close(); }  // no buffer is asked for once this returns
void lockSound() { gOutput->lock(); }
void unlockSound() { gOutput->unlock(); }
