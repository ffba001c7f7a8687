// clear.cpp: the whole-frame fill.
#include <cstring>

#include "2d.h"
#include "frame.h"

void Clear(uint32_t* frame, uint32_t colour) {
    // A colour of four equal bytes, black above all, is a byte fill: memset is the fastest fill
    // each machine's C library has. Any other colour is stored word by word.
    const uint32_t byte = colour & 0xFF;
    if (colour == byte * 0x01010101u) {
        std::memset(frame, static_cast<int>(byte), kPixels * sizeof(uint32_t));
        return;
    }
    for (int i = 0; i < kPixels; ++i) frame[i] = colour;
}
