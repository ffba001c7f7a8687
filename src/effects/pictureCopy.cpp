// pictureCopy.cpp: pictures as frame words.
#include "pictureCopy.h"

#include "2d/frame.h"

void toFrameWords(uint32_t* out, const uint8_t* picture, int pixels) {
    for (int i = 0; i < pixels; ++i) out[i] = packPixel(picture + 4 * i);
}
