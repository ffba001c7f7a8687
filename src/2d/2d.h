// 2d.h: the whole-frame fill and the 2D primitives that write straight into the Frame buffer.
#pragma once
#include <cstdint>

// Stores the colour word, top byte included, in every one of the 76800 pixels.
void Clear(uint32_t* frame, uint32_t colour);
