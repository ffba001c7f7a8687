// frame.h: the Frame buffer's shape and the one conversion from a Picture pixel to a frame pixel.
#pragma once
#include <cstdint>

constexpr int kWidth = 320;
constexpr int kHeight = 240;
constexpr int kPixels = kWidth * kHeight;  // 76800 words of 0x00RRGGBB, rows of exactly 320 pixels

// Picture bytes are red, green, blue, alpha; a frame pixel is 0x00RRGGBB. The picture converter
// (tools/art/png2src.cpp) writes the bytes in this order: if one changes, change the other.
inline uint32_t packPixel(const uint8_t* rgba) {
    return (uint32_t(rgba[0]) << 16) | (uint32_t(rgba[1]) << 8) | uint32_t(rgba[2]);
}
