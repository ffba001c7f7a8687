// timing.h: row lengths as libmikmod's mixer counts them, and a planner that keeps rows on time.
#pragma once
#include <cstdint>
#include <vector>

constexpr int kMixRate = 44100;  // libmikmod's default mixing rate, which the show keeps
constexpr int kSpeed = 6;        // ticks per row throughout the song
constexpr int kMinBpm = 32, kMaxBpm = 255;

// The mixer plays each tick as a whole number of frames: floor(rate * 2.5 / BPM).
constexpr int64_t tickFrames(int bpm) { return int64_t(kMixRate) * 125 / (int64_t(bpm) * 50); }
constexpr int64_t rowFrames(int bpm) { return kSpeed * tickFrames(bpm); }

// For rows whose ideal ends are given (frames from the song's start, ascending), the BPM of
// each row such that the mixer's running total stays as close to the ideal as whole ticks allow.
// Keeps the previous row's BPM whenever that is as good, so tempo commands stay rare.
std::vector<int> planBpm(const std::vector<int64_t>& rowEnds, int startBpm);

// Frame at which each row starts, for rows played at the given BPMs (one more entry: the end).
std::vector<int64_t> rowStarts(const std::vector<int>& bpms);
