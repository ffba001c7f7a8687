// line.cpp: the Bresenham line, with the error term starting at half the major length.
#include "2d.h"
#include "frame.h"

#include <cstdlib>

static int sign(int32_t v) { return (v > 0) - (v < 0); }

// Both ends are drawn. Which pixels fall between depends on the direction of drawing, since the
// error term rounds the same way whichever end it starts from.
void PutLine(uint32_t* frame, int32_t x0, int32_t y0, int32_t x1, int32_t y1, uint32_t colour) {
    const int32_t dx = x1 - x0, dy = y1 - y0;
    const int sx = sign(dx), sy = sign(dy);
    const int32_t ax = std::abs(dx), ay = std::abs(dy);
    int32_t x = x0, y = y0;
    frame[y * kWidth + x] = colour;
    if (ax >= ay) {  // mostly horizontal, 45 degrees included
        int32_t err = ax >> 1;
        for (int32_t n = 0; n < ax; ++n) {
            err += ay;
            if (err >= ax) {
                y += sy;
                err -= ax;
            }
            x += sx;
            frame[y * kWidth + x] = colour;
        }
    } else {  // mostly vertical
        int32_t err = ay >> 1;
        for (int32_t n = 0; n < ay; ++n) {
            err += ax;
            y += sy;
            if (err >= ay) {
                x += sx;
                err -= ay;
            }
            frame[y * kWidth + x] = colour;
        }
    }
}
