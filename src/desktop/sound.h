// sound.h: the song to the sound device. An output hands the device the mixed song from a player's
// position whenever the device asks, and notes, for each buffer, where the song stood and when;
// an output whose server can say what it is playing notes that too.
#pragma once
#include <cstdint>

#include "song/player.h"

// Opens an output for 16-bit stereo at 44,100 Hz that plays from `player` from then on (silence
// until the player has song to hand): a stream of the door's own on a PulseAudio server (PipeWire's
// included), in PipeWire's graph or on Windows' audio engine, whose delay to the loudspeaker the
// server or the engine reports, or else SDL's audio, whose delay is assumed. SDL_AUDIODRIVER, when
// set, chooses SDL's, except that "pipewire" chooses the door's own stream in PipeWire's graph.
// False, with SDL's reason in SDL_GetError, when no device opens.
bool openSound(SongPlayer& player);
void closeSound();

// Keeps the device's requests out while the main thread moves the player, so that a buffer sees a
// move whole (and the clock's record of it with it).
void lockSound();
void unlockSound();

// The latest buffer handed: the stream's frames handed to the device before it (song and silence
// alike, since the device opened) and its own frames, the song's position at its start and how many
// frames of song it holds, the player's move count then, and SDL's tick count when the device asked
// for it.
struct StreamReading {
    uint32_t stream;
    uint32_t frames;
    uint32_t songAt;
    uint32_t handed;
    uint32_t moves;
    uint32_t ticks;
    bool any;  // a buffer has been handed since the device opened
};
StreamReading readStream();

// How many buffers and reports have been published so far: a clock that has read the records
// since needs no new read while this stays the same. Read without a lock: the frame loop's pacing
// asks the clock some sixty times a frame, and on a device of one ARM processor each lock costs.
uint32_t soundChanges();

// The latest report of the sound server: the stream's frame reaching the loudspeaker at SDL's tick
// count `ticks`, and how many reports there have been (none from SDL's audio).
struct HeardReport {
    int64_t frame;
    uint32_t ticks;
    uint32_t count;
};
HeardReport readHeard();

// The opened stream's sample frames per second, and half of what it keeps queued (one buffer of
// SDL's, whose device holds about two).
struct StreamFormat {
    int rate;
    int bufferFrames;
};
StreamFormat streamFormat();

// For an output: fills `frames` frames at `out` from the player and publishes the reading.
void handBuffer(int16_t* out, int frames, uint32_t ticks);
// For an output: publishes a report of the server's.
void reportHeard(int64_t frame, uint32_t ticks);

// An output: opens the device with the request function calling handBuffer, and says its format.
struct SoundOutput {
    bool (*open)(StreamFormat& format);
    void (*close)();
    void (*lock)();
    void (*unlock)();
};
extern const SoundOutput kSdlOutput;
extern const SoundOutput kPulseOutput;   // only where the door is built with libpulse
extern const SoundOutput kPipeWireOutput;  // only where the door is built with libpipewire
extern const SoundOutput kWasapiOutput;  // only on Windows
