// player.h: where a door plays the song from: the position, pause and the end, shared by the
// desktop's audio callback and the web page's audio scheduling. The song is mixed ahead (song.h),
// so a seek is only a new position and the sound after it is the song from that sample on.
#pragma once
#include <atomic>
#include <climits>
#include <cstdint>

struct SongPlayer {
    std::atomic<int32_t> position{0};       // the next sample frame handed to the device
    std::atomic<int32_t> end{INT32_MAX};    // the frame the playing stops at (the song's end, or --to)
    std::atomic<bool> paused{false};
    std::atomic<uint32_t> moves{0};         // counts seeks, pauses and resumes, for the clocks
};

// Fills out with `frames` stereo frames: the song from the position on, advancing it, then
// silence where the player is paused, has reached its end or the mixing has not got that far.
// Returns the frames of song handed (0 to frames).
int playSong(SongPlayer& player, int16_t* out, int frames);

// Mixes the song on toward sample frame `frame`, at most `chunks` chunks of it, but in a song that
// keeps a ring (song.h) never over what the player has still to hand: the step of a player that
// mixes a short way ahead. Returns the frames mixed by then.
int64_t mixAhead(const SongPlayer& player, int64_t frame, int chunks);

// A new position, from any thread; the next fill starts there.
void seekSong(SongPlayer& player, int64_t frame);

// Whether everything up to the end has been handed over (the song's end once it is known).
bool songPlayed(const SongPlayer& player);
