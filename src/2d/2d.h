// 2d.h: the whole-frame fill and the 2D primitives that write straight into the Frame buffer.
// Only PutFilledRectangle clips, and only at the bottom edge; every other coordinate is the
// caller's duty, and a write beyond a side edge lands on the neighbouring row.
#pragma once
#include <cstdint>

// Stores the colour word, top byte included, in every one of the 76800 pixels.
void Clear(uint32_t* frame, uint32_t colour);

// Pixel (x, y) := (r << 16) | (g << 8) | b. Arguments are cut to their declared widths.
void PutPixel(uint32_t* frame, uint16_t x, uint16_t y, uint8_t r, uint8_t g, uint8_t b);

// A bar over rows y - h to y, columns x to x + w - 1, filled top down. The whole call ends at the
// first row below 239 or whose leftmost pixel is not 0: drawn nearest first, bars hide farther ones.
// PutFilledRectangle(frame, x, y, w, h, colour), inline:
#include "filledRectangle.h"

// Bresenham line from (x0, y0) to (x1, y1), both ends included; the pixels between depend on
// the direction of drawing.
void PutLine(uint32_t* frame, int32_t x0, int32_t y0, int32_t x1, int32_t y1, uint32_t colour);

// Copies every pixel of a 320 x 240 picture whose alpha byte is not 0, at full strength.
void PutMaskedPicture(uint32_t* frame, const uint8_t* picture);

// Outline of a triangle in float screen coordinates: red where a row's leftmost column grows,
// blue where its rightmost does. The third field rides along when the vertices are reordered.
struct Vertex {
    float x;
    float y;
    int32_t value;
};
void PutPolygon(uint32_t* frame, Vertex p0, Vertex p1, Vertex p2);
