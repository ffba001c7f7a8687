// tables.h: lookup tables built once at start-up and only read afterwards.
#pragma once
#include <cstdint>

constexpr int kTurn = 1000;  // table entries per full turn; every index is taken modulo kTurn

extern int16_t sine[kTurn];  // sin * 256, truncated toward zero: -255..255
extern int16_t cose[kTurn];  // cos * 256, truncated toward zero: -255..256 (256 only at entry 0)

// Fills sine and cose. Must run before any reader, the map builders included.
void calc_sine();
