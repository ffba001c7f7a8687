// plasma.h: the per-row blend of the picture-over-plasma scenes, shared with its tests.
#pragma once
#include <cstdint>

// One frame row: each of 320 picture pixels (red, green, blue, alpha bytes) over the packed plasma
// pixel beside it. Alpha 0..9 shows the plasma, 240..255 the picture, 10..239 the blend with red and
// green rounded down after the sum and blue rounded down per term.
void blendPictureRow(uint32_t* out, const uint8_t* pictureRow, const uint32_t* plasmaRow);
