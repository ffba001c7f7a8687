// sdlAudio.h: the show's own MikMod driver, which mixes in SDL 1.2's audio callback, and the
// position of the music in its stream.
#pragma once
#include <cstdint>

// MikMod's alias for the driver.
constexpr const char* kSdlAudioAlias = "showsdl";

// Registers the driver with MikMod. Register it before MikMod's own drivers so that it is number 1
// and autodetection tries it first; after it has failed to open once it reports itself absent,
// so autodetection moves on to the others.
void registerSdlAudioDriver();

// True while the driver has SDL's audio device open.
bool sdlAudioOpen();

// Keeps the audio callback out while the main thread changes the player's state (Player_Start,
// Player_Stop, Player_Free): the callback mixes on SDL's audio thread. Does nothing when the
// driver is not open.
void lockSound();
void unlockSound();

// Where the music stood at the latest audio callback: the frames of music handed to SDL since
// the player started (0 until it does), and SDL's tick count when that callback began.
struct StreamReading {
    uint32_t frames;
    uint32_t ticks;
};
StreamReading readStream();

// The opened stream's sample frames per second and frames per callback buffer.
struct StreamFormat {
    int rate;
    int bufferFrames;
};
StreamFormat streamFormat();
