// maskedPicture.cpp: a full-frame picture copy with its alpha byte as an on/off mask.
#include "2d.h"
#include "frame.h"

// Any non-zero alpha copies the pixel at full strength; scenes that blend do it themselves.
void PutMaskedPicture(uint32_t* frame, const uint8_t* picture) {
    for (int i = 0; i < kPixels; ++i) {
        const uint8_t* p = picture + 4 * i;
        if (p[3] != 0) frame[i] = packPixel(p);
    }
}
