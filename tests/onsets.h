// onsets.h: where hits start in 16-bit stereo sound at 44100 Hz, for the music and capture tests.
#pragma once
#include <cstdint>
#include <vector>

// Onset times in ms from the start of a sound of interleaved left and right samples: where the
// energy of the sound's slope (which favours a hit's attack over sustained tones), over 2 ms
// windows one hop (44 frames, 0.998 ms) apart, reaches 4 times what the hops 5 to 30 before held,
// and is the first and highest within 15 hops either side.
std::vector<int> onsets(const std::vector<int16_t>& stereo);

// Signed distance from t to the nearest onset (positive: the onset comes later).
int nearestOffset(const std::vector<int>& found, int t);
