// maps.cpp: the warp maps xmap, ymap and the height map voxelmap, built once from the trig tables.
#include "effects.h"
#include "tables.h"

uint8_t xmap[kMapSize * kMapSize];
uint8_t ymap[kMapSize * kMapSize];
uint8_t voxelmap[kVoxelRows * kVoxelColumns];

// Every argument of S and C below is non-negative: the offsets 300..600 exceed any inner
// lookup's magnitude of 256.
// Each sum of an S and a C lies in -510..511; + 512 and >> 2 bring it into 0..255 without clamping.
static uint8_t toByte(int sum) { return static_cast<uint8_t>((sum + 512) >> 2); }

void effect2_init() {
    for (int i = 0; i < kMapSize; ++i) {
        for (int j = 0; j < kMapSize; ++j) {
            xmap[i * kMapSize + j] = toByte(S(7 * j + S(3 * i) + 300) + C(4 * i + S(3 * j) + 400));
            ymap[i * kMapSize + j] = toByte(S(6 * j + C(2 * j) + 500) + C(5 * i + S(2 * i) + 600));
        }
    }
}

void effect4_init() {
    for (int i = 0; i < kVoxelRows; ++i) {
        for (int j = 0; j < kVoxelColumns; ++j) {
            voxelmap[i * kVoxelColumns + j] =
                toByte(S(17 * i + S(11 * j) + 300) + C(9 * j + S(15 * i) + 400));
        }
    }
}
