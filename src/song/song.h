// song.h: the show's song, mixed by libmikmod into memory ahead of need, one fixed chunk of
// samples at a time, so that every door (the desktop, the capture, the web page) plays, seeks in
// and records exactly the same samples, and a seek is an index into what is already mixed.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

constexpr int kMixRate = 44100;           // sample frames a second, per channel
constexpr int kPlayChunk = kMixRate / 60;  // the players' mixing step: one 60 fps frame, 735 frames

// Show time t (milliseconds) and the song's sample frames: frame 0 is heard at show time 0.
constexpr int64_t songFrameAt(int64_t t) { return t * kMixRate / 1000; }
constexpr int64_t showTimeAt(int64_t frame) { return frame * 1000 / kMixRate; }

// Loads the module and readies libmikmod to mix it from its start, chunkFrames stereo frames per
// step, with the show's settings (libmikmod's defaults, 16-bit stereo at 44,100 Hz, plus software
// music mixing). The chunk size is part of the result: libmikmod's anti-click ramps restart with
// each chunk, so the same chunk size gives the same samples in every run. One song at a time:
// libmikmod's player is global. On failure, libmikmod's reason in `reason`.
//
// With keptSeconds 0 every sample mixed is kept until the song is closed (21 MB for the show's
// song). Otherwise only the latest keptSeconds of it are, in a ring allocated here, which is all
// the memory the mix takes (176 KB a second): the way of a player that mixes a short way ahead of
// what it plays. Its reader must not read below songMixed() - songKept(), nor its mixer mix past
// the reader's position plus songKept() (mixAhead in player.h keeps to that).
enum class SongOpen { ok, noMixer, noModule };
SongOpen openSong(const std::string& modulePath, int chunkFrames, std::string& reason, int keptSeconds = 0);

// Back to the song's start, for a song that no longer keeps the samples a player wants: libmikmod
// cannot go back and mix the same samples again, so the module is loaded anew. False, with
// libmikmod's reason, if it no longer loads.
bool rewindSong(std::string& reason);

// Mixes until at least `frame` sample frames are mixed, or the song has ended. Any thread may
// call it; one mixes at a time. Returns the frames mixed by then.
int64_t mixSongUntil(int64_t frame);

// Mixes one chunk on, unless the song has ended or, in a ring, the chunk would overwrite sample
// frame `oldest`, the oldest one its reader has still to read. Returns whether it mixed one.
bool mixSongChunk(int64_t oldest);

// Sample frames mixed so far, readable from any thread (the audio callback's, say) without a lock;
// songCopy may read everything below it.
int64_t songMixed();

// The whole song's length in sample frames once its end has been mixed; -1 before.
int64_t songLength();

// How many of the latest frames mixed are kept: all of them (INT64_MAX), or keptSeconds' worth.
int64_t songKept();

// Copies up to `frames` mixed stereo frames from sample frame `from` on into out (left, right);
// returns how many it copied: fewer where the mixing has not got that far yet.
int songCopy(int64_t from, int16_t* out, int frames);

// Stops any mixing in progress (mixSongUntil returns) and frees the song and libmikmod.
void closeSong();

// The whole song at once, for the capture and the tests: chunkFrames per step, from start to end.
struct SongMix {
    int samplesPerFrame = 0;       // the chunk size
    int frames = 0;                // chunks mixed until the song stopped
    std::vector<int16_t> samples;  // 16-bit stereo, left then right, frames * samplesPerFrame pairs
};
bool mixSong(const std::string& modulePath, int samplesPerFrame, SongMix& mix, std::string& error);
