// plasma.h: one row of the picture-over-plasma scenes, shared with its tests.
#pragma once
#include <cstdint>

constexpr int kPlasmaSize = 256;  // plasmapic and plasmapic2: 256 x 256, rows and columns wrap at 256

// One frame row of 320 pixels: each pixel of pictureRow (red, green, blue, alpha bytes) over the
// plasma picture's pixel number plasmaIndex[x] (row u, column v as u * 256 + v). Alpha 0..9 shows
// the plasma, 240..255 the picture, 10..239 the blend with red and green rounded down after the
// sum and blue rounded down per term. The plasma is read only where the picture does not cover it.
void plasmaBehindRow(uint32_t* out, const uint8_t* pictureRow, const uint16_t* plasmaIndex,
                     const uint8_t* plasmaPicture);
