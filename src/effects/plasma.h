// plasma.h: the picture-over-plasma scenes' start-up tables and their row routine, shared with the tests.
#pragma once
#include <cstdint>
#include <vector>

#include "coverRuns.h"

constexpr int kPlasmaSize = 256;  // plasmapic and plasmapic2: 256 x 256, rows and columns wrap at 256

// A 320 x 240 portrait prepared once for drawing over the plasma: its pixels as frame words, and
// each row cut into runs: alpha 0..9 shows the plasma alone (bare), 240..255 the picture alone
// (covered), anything between the blend (mixed).
struct Portrait {
    const uint8_t* picture = nullptr;  // red, green, blue, alpha bytes; mixed pixels read these
    std::vector<uint32_t> words;       // picture pixel i as 0x00RRGGBB; covered runs copy these
    CoverRuns cover;
};

void preparePortrait(Portrait& portrait, const uint8_t* picture);

// One frame row of 320 pixels: portrait row y over the plasma colours plasmaWords[plasmaIndex[x]]
// (row u, column v of the plasma as u * 256 + v). Bare pixels show the plasma, covered ones the
// picture, mixed ones the blend with red and green rounded down after the sum and blue rounded
// down per term. plasmaIndex is read only where the portrait does not cover the plasma.
void plasmaBehindRow(uint32_t* out, const Portrait& portrait, int y, const uint16_t* plasmaIndex,
                     const uint32_t* plasmaWords);
