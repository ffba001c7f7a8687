// song.cpp: the song mixed ahead into memory through a MikMod driver of our own whose every update
// fills exactly one chunk, kept in blocks that never move once written, so readers on other
// threads need no lock; all of them, or a ring of the latest few.
#include "song.h"

#include <mikmod.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <mutex>

#include "mixerDriver.h"

namespace {

constexpr int kChunksPerBlock = 60;      // a second a block at the players' chunk size
constexpr int kMaxBlocks = 20 * 60;      // a song that never ends stops after about 20 minutes

struct SongState {
    MODULE* module = nullptr;
    std::string path;
    int chunkFrames = 0;
    int ring = 0;                    // blocks in the ring, or 0 where every block is kept
    std::unique_ptr<int16_t[]> blocks[kMaxBlocks];
    std::atomic<int32_t> mixed{0};   // published after the samples below it are written
    std::atomic<int32_t> length{-1};
    std::atomic<bool> closing{false};
    std::mutex mixing;               // one mixer at a time: libmikmod's player is global
};

SongState gSong;

int64_t blockFrames() { return int64_t{gSong.chunkFrames} * kChunksPerBlock; }

// The block that holds sample frame `at`.
std::unique_ptr<int16_t[]>& blockOf(int64_t at) {
    const int64_t block = at / blockFrames();
    return gSong.blocks[gSong.ring > 0 ? block % gSong.ring : block];
}

// Where the next chunk goes; its block is made when the chunk is its first.
int16_t* nextChunk() {
    const int64_t at = gSong.mixed.load(std::memory_order_relaxed);
    std::unique_ptr<int16_t[]>& block = blockOf(at);
    if (!block) block = std::make_unique<int16_t[]>(size_t(2 * blockFrames()));
    return block.get() + 2 * (at % blockFrames());
}

void writeChunk(bool silent) {
    SBYTE* bytes = reinterpret_cast<SBYTE*>(nextChunk());
    const ULONG count = ULONG(gSong.chunkFrames) * 4;  // 16-bit stereo
    if (silent)
        VC_SilenceBytes(bytes, count);
    else
        VC_WriteBytes(bytes, count);
    gSong.mixed.fetch_add(gSong.chunkFrames, std::memory_order_release);
}

void update() { writeChunk(false); }
void pause() { writeChunk(true); }  // libmikmod pauses only when asked; kept for the chunk count

MDRIVER makeChunkDriver() {
    MDRIVER driver = softwareMixerDriver("Chunks", "one fixed chunk per update, into memory", "chunks");
    driver.Update = update;
    driver.Pause = pause;
    return driver;
}

MDRIVER gChunkDriver = makeChunkDriver();

}  // namespace

SongOpen openSong(const std::string& modulePath, int chunkFrames, std::string& reason, int keptSeconds) {
    static const bool registered = (MikMod_RegisterDriver(&gChunkDriver), MikMod_RegisterAllLoaders(), true);
    (void)registered;
    closeSong();
    gSong.path = modulePath;
    gSong.chunkFrames = chunkFrames;
    gSong.ring = keptSeconds;
    // Made here, not as the mixing gets to them: a player that keeps a ring holds it all along.
    for (int i = 0; i < gSong.ring; ++i) gSong.blocks[i] = std::make_unique<int16_t[]>(size_t(2 * blockFrames()));
    gSong.closing = false;
    md_device = UWORD(MikMod_DriverFromAlias("chunks"));
    md_mixfreq = kMixRate;
    md_mode |= DMODE_SOFT_MUSIC;  // as the show has always set it, over libmikmod's defaults
    if (MikMod_Init("") != 0) {
        reason = MikMod_strerror(MikMod_errno);
        return SongOpen::noMixer;
    }
    gSong.module = Player_Load(modulePath.c_str(), 64, 0);
    if (gSong.module == nullptr) {
        reason = MikMod_strerror(MikMod_errno);
        MikMod_Exit();
        return SongOpen::noModule;
    }
    Player_Start(gSong.module);
    return SongOpen::ok;
}

int64_t mixSongUntil(int64_t frame) {
    const int64_t most = int64_t{kMaxBlocks} * blockFrames();
    while (songMixed() < frame && songLength() < 0 && !gSong.closing) {
        const std::lock_guard<std::mutex> lock(gSong.mixing);
        if (gSong.module == nullptr || gSong.length >= 0 || songMixed() >= frame) break;
        if (!Player_Active() || songMixed() >= most)
            gSong.length = int32_t(songMixed());
        else
            MikMod_Update();
    }
    return songMixed();
}

bool mixSongChunk(int64_t oldest) {
    const int64_t at = songMixed();
    if (gSong.ring > 0 && at + gSong.chunkFrames > oldest + songKept()) return false;
    return mixSongUntil(at + 1) > at;
}

int64_t songMixed() { return gSong.mixed.load(std::memory_order_acquire); }

int64_t songLength() { return gSong.length.load(std::memory_order_acquire); }

int64_t songKept() { return gSong.ring > 0 ? gSong.ring * blockFrames() : INT64_MAX; }

int songCopy(int64_t from, int16_t* out, int frames) {
    const int64_t mixed = songMixed();
    const int64_t available = std::clamp<int64_t>(mixed - from, 0, frames);
    if (from < 0 || mixed - from > songKept()) return 0;  // before what a ring still holds
    for (int64_t done = 0; done < available;) {
        const int64_t at = from + done;
        const int64_t run = std::min(available - done, blockFrames() - at % blockFrames());
        memcpy(out + 2 * done, blockOf(at).get() + 2 * (at % blockFrames()), size_t(run) * 4);
        done += run;
    }
    return int(available);
}

bool rewindSong(std::string& reason) {
    const std::string path = gSong.path;
    return openSong(path, gSong.chunkFrames, reason, gSong.ring) == SongOpen::ok;
}

void closeSong() {
    gSong.closing = true;
    const std::lock_guard<std::mutex> lock(gSong.mixing);
    if (gSong.module != nullptr) {
        Player_Stop();
        Player_Free(gSong.module);
        MikMod_Exit();
        gSong.module = nullptr;
    }
    for (auto& block : gSong.blocks) block.reset();
    gSong.mixed = 0;
    gSong.length = -1;
    gSong.ring = 0;
}

bool mixSong(const std::string& modulePath, int samplesPerFrame, SongMix& mix, std::string& error) {
    mix = SongMix{};
    mix.samplesPerFrame = samplesPerFrame;
    std::string reason;
    switch (openSong(modulePath, samplesPerFrame, reason)) {
        case SongOpen::ok: break;
        case SongOpen::noMixer: return error = "could not initialise MikMod: " + reason, false;
        case SongOpen::noModule: return error = "could not load module " + modulePath + ": " + reason, false;
    }
    const int64_t frames = mixSongUntil(INT64_MAX);
    mix.frames = int(frames / samplesPerFrame);
    mix.samples.resize(size_t(2 * frames));
    songCopy(0, mix.samples.data(), int(frames));
    closeSong();
    return true;
}
