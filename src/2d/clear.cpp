// clear.cpp: the whole-frame fill.
#include "2d.h"
#include "frame.h"

void Clear(uint32_t* frame, uint32_t colour) {
    for (int i = 0; i < kPixels; ++i) frame[i] = colour;
}
