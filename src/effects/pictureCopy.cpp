// pictureCopy.cpp: the opaque full-frame picture copy.
#include "pictureCopy.h"

#include "2d/frame.h"

void copyPicture(uint32_t* frame, const uint8_t* picture) {
    for (int i = 0; i < kPixels; ++i) frame[i] = packPixel(picture + 4 * i);
}
