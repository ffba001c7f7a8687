// pictureCopy.h: pictures as frame words.
#pragma once
#include <cstdint>

// out[i] := picture pixel i repacked as 0x00RRGGBB, for the first `pixels` pixels; alpha ignored.
void toFrameWords(uint32_t* out, const uint8_t* picture, int pixels);
