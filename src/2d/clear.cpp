// clear.cpp: the whole-frame fill.
#include <cstring>
#include <cwchar>

#include "2d.h"
#include "frame.h"

// wmemset fills 32-bit words with the C library's own tuned code, as memset fills bytes.
static_assert(sizeof(wchar_t) == sizeof(uint32_t), "wchar_t must be a 32-bit word here");

void Clear(uint32_t* frame, uint32_t colour) {
    // A colour of four equal bytes, black above all, is a byte fill: memset is the fastest fill
    // each machine's C library has. Any other colour is a word fill.
    const uint32_t byte = colour & 0xFF;
    if (colour == byte * 0x01010101u) {
        std::memset(frame, static_cast<int>(byte), kPixels * sizeof(uint32_t));
        return;
    }
    std::wmemset(reinterpret_cast<wchar_t*>(frame), static_cast<wchar_t>(colour), kPixels);
}
