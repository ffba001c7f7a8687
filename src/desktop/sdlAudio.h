// sdlAudio.h: the song through SDL 1.2's audio: the callback hands the device the mixed song from
// a player's position, and notes where the song stood and when.
#pragma once
#include <cstdint>

#include "song/player.h"

// Opens SDL's audio device for 16-bit stereo at 44,100 Hz and starts its callback, which plays
// from `player` from then on (silence until the player has song to hand). False, with SDL's
// reason in SDL_GetError, when no device opens.
bool openSdlAudio(SongPlayer& player);
void closeSdlAudio();

// Keeps the callback out while the main thread moves the player, so that a callback sees a move
// whole (and the clock's record of it with it).
void lockSound();
void unlockSound();

// The latest callback: the stream's frames handed to the device before its buffer (song and
// silence alike, since the device opened), the song's position at the buffer's start and how
// many frames of song the buffer holds, the player's move count then, and SDL's tick count when
// the callback began.
struct StreamReading {
    uint32_t stream;
    uint32_t songAt;
    uint32_t handed;
    uint32_t moves;
    uint32_t ticks;
    bool any;  // a callback has run since the device opened
};
StreamReading readStream();

// The opened stream's sample frames per second and frames per callback buffer.
struct StreamFormat {
    int rate;
    int bufferFrames;
};
StreamFormat streamFormat();
