// pictures.h: the seventeen compiled-in pictures. Each is width * height * 4 bytes (red, green,
// blue, alpha, row-major, no header) followed by one zero byte. The build generates their
// definitions from assets/pictures/<name>.png; the sizes here are the ones every reader indexes with.
#pragma once
#include <cstdint>

extern const uint8_t klockz[320 * 240 * 4 + 1];
extern const uint8_t klocka1[256 * 256 * 4 + 1];
extern const uint8_t klocka2[185 * 185 * 4 + 1];
extern const uint8_t helmet[320 * 240 * 4 + 1];
extern const uint8_t tarnivoisback[320 * 240 * 4 + 1];
extern const uint8_t tall[320 * 480 * 4 + 1];
extern const uint8_t upper[320 * 100 * 4 + 1];
extern const uint8_t plasmapic2[256 * 256 * 4 + 1];
extern const uint8_t silhouette[320 * 240 * 4 + 1];
extern const uint8_t plasmapic[256 * 256 * 4 + 1];
extern const uint8_t demogirl[320 * 240 * 4 + 1];
extern const uint8_t demogirl2[320 * 240 * 4 + 1];
extern const uint8_t cred_quenor[320 * 240 * 4 + 1];
extern const uint8_t cred_velmit[320 * 240 * 4 + 1];
extern const uint8_t cred_orsadun[320 * 240 * 4 + 1];
extern const uint8_t cred_fembrik[320 * 240 * 4 + 1];
extern const uint8_t cred_tessik[320 * 240 * 4 + 1];
