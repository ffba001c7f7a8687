// pictureCopy.h: pictures as frame words, and the opaque copy of a frame's worth of them.
#pragma once
#include <cstdint>

// Frame pixel i := picture pixel i repacked as 0x00RRGGBB, for all 76800 pixels; alpha ignored.
// The picture pointer may point into a taller picture (the pan starts at a row offset).
void copyPicture(uint32_t* frame, const uint8_t* picture);

// out[i] := picture pixel i repacked as 0x00RRGGBB, for the first `pixels` pixels; alpha ignored.
void toFrameWords(uint32_t* out, const uint8_t* picture, int pixels);
