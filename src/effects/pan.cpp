// pan.cpp: the slow vertical pan over the picture two screens tall.
#include "effects.h"

#include <algorithm>
#include <cstring>

#include "2d/frame.h"
#include "assets/pictures.h"
#include "pictureCopy.h"

namespace {
constexpr int kLowestOffset = 240;  // rows the 320 x 480 picture reaches below one screen
constexpr int kTallPixels = kWidth * (kHeight + kLowestOffset);

uint32_t tallWords[kTallPixels];  // the tall picture as frame words, converted once
}

void effect6_init() { toFrameWords(tallWords, tall, kTallPixels); }

// u is the reversed time 51000 - t: the view holds the lower screen first, climbs one row every
// 30 ms, then rests on the upper screen.
void effect6(uint32_t* frame, int32_t u) {
    const int r = std::clamp(u / 30 - 50, 0, kLowestOffset);  // division truncates toward zero
    std::memcpy(frame, tallWords + r * kWidth, kPixels * sizeof(uint32_t));  // alpha skipped
}
