// pixel.cpp: a single pixel from three 8-bit channels.
#include "2d.h"
#include "frame.h"

// The parameter types already cut wider arguments to their low bits (x = 65541 is column 5).
void PutPixel(uint32_t* frame, uint16_t x, uint16_t y, uint8_t r, uint8_t g, uint8_t b) {
    frame[y * kWidth + x] = (uint32_t(r) << 16) | (uint32_t(g) << 8) | uint32_t(b);
}
