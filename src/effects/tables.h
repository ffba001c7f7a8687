// tables.h: lookup tables built once at start-up and only read afterwards.
#pragma once
#include <cstdint>

constexpr int kTurn = 1000;  // table entries per full turn; every index is taken modulo kTurn

extern int16_t sine[kTurn];  // sin * 256, truncated toward zero: -255..255
extern int16_t cose[kTurn];  // cos * 256, truncated toward zero: -255..256 (256 only at entry 0)

// Fills sine and cose. Must run before any reader, the map builders included.
void calc_sine();

// An index reduced to one turn, 0..999, whatever its sign. The show's indices are never negative;
// a negative one (a time before the show) still reads inside the table instead of before it.
inline int turnIndex(int n) { return ((n % kTurn) + kTurn) % kTurn; }

// S[n] and C[n]: the table entries for any integer index.
inline int S(int n) { return sine[turnIndex(n)]; }
inline int C(int n) { return cose[turnIndex(n)]; }

constexpr int kMapSize = 512;        // xmap and ymap: 512 x 512, element (i, j) at i * 512 + j
constexpr int kVoxelRows = 64;       // voxelmap: 64 x 2048, element (i, j) at i * 2048 + j
constexpr int kVoxelColumns = 2048;

extern uint8_t xmap[kMapSize * kMapSize];
extern uint8_t ymap[kMapSize * kMapSize];
extern uint8_t voxelmap[kVoxelRows * kVoxelColumns];
