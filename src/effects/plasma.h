// plasma.h: the picture-over-plasma scenes' portraits, prepared at start-up.
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
