// player.cpp: the song from a position, handed to a device one buffer at a time.
#include "player.h"

#include <algorithm>
#include <cstring>

#include "song.h"

int playSong(SongPlayer& player, int16_t* out, int frames) {
    int handed = 0;
    if (!player.paused.load(std::memory_order_acquire)) {
        const int64_t at = player.position.load(std::memory_order_acquire);
        const int64_t length = songLength();
        const int64_t end = length < 0 ? player.end.load() : std::min<int64_t>(player.end.load(), length);
        handed = songCopy(at, out, int(std::clamp<int64_t>(end - at, 0, frames)));
        // A seek from another thread between the load and here wins: the position is not overwritten.
        int32_t expected = int32_t(at);
        player.position.compare_exchange_strong(expected, int32_t(at + handed), std::memory_order_acq_rel);
    }
    memset(out + 2 * handed, 0, size_t(frames - handed) * 4);
    return handed;
}

int64_t mixAhead(const SongPlayer& player, int64_t frame, int chunks) {
    for (int i = 0; i < chunks && songMixed() < frame; ++i)
        if (!mixSongChunk(player.position.load(std::memory_order_acquire))) break;
    return songMixed();
}

void seekSong(SongPlayer& player, int64_t frame) {
    player.position.store(int32_t(std::clamp<int64_t>(frame, 0, INT32_MAX)), std::memory_order_release);
    player.moves.fetch_add(1, std::memory_order_acq_rel);
}

bool songPlayed(const SongPlayer& player) {
    const int64_t length = songLength();
    const int64_t end = length < 0 ? player.end.load() : std::min<int64_t>(player.end.load(), length);
    return player.position.load(std::memory_order_acquire) >= end;
}
