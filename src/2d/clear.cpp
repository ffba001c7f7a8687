// clear.cpp: the whole-frame fill.
#include <algorithm>
#include <cstring>
#include <cwchar>

#include "2d.h"
#include "frame.h"

// wmemset fills 32-bit words with the C library's own tuned code, as memset fills bytes, where
// wchar_t is such a word; where it is 16 bits (Windows) the compiler's own loop does.
constexpr bool kWideIsWord = sizeof(wchar_t) == sizeof(uint32_t);

void Clear(uint32_t* frame, uint32_t colour) {
    // A colour of four equal bytes, black above all, is a byte fill: memset is the fastest fill
    // each machine's C library has. Any other colour is a word fill.
    const uint32_t byte = colour & 0xFF;
    if (colour == byte * 0x01010101u) {
        std::memset(frame, static_cast<int>(byte), kPixels * sizeof(uint32_t));
        return;
    }
    if constexpr (kWideIsWord)
        std::wmemset(reinterpret_cast<wchar_t*>(frame), static_cast<wchar_t>(colour), kPixels);
    else
        std::fill_n(frame, kPixels, colour);
}
