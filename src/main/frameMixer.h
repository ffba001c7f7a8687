// frameMixer.h: the whole song mixed by libmikmod offline, exactly one frame's samples at a time.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

constexpr int kMixRate = 44100;  // samples a second, per channel: 735 a frame at 60 fps, 882 at 50

struct SongMix {
    int samplesPerFrame = 0;
    int frames = 0;                // frames mixed until the song stopped; the show's length
    std::vector<int16_t> samples;  // 16-bit stereo, left then right, frames * samplesPerFrame pairs
};

// Plays the module from its start to its end through a MikMod driver of our own whose every
// update hands libmikmod exactly samplesPerFrame stereo samples to fill, with the show's mixing
// settings (libmikmod's defaults plus software music mixing). The chunk size is part of the
// result (the mixer's anti-click ramps restart with each chunk), so a frame's samples are the
// same in every run and in every excerpt. False, with a message, if MikMod or the module fails.
bool mixSong(const std::string& modulePath, int samplesPerFrame, SongMix& mix, std::string& error);
