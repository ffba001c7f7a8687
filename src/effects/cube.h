// cube.h: the cube's fixed data and the steps of its frame, apart so that each can be checked.
#pragma once
#include <cstdint>

constexpr int kCubeCorners = 8;
constexpr int kCubeFaces = 12;

extern const float gCube[kCubeCorners][3];       // corners (x, y, z) of a cube of half-size 1
extern const int32_t gCubeFaces[kCubeFaces][3];  // two triangles per side, as corner numbers
extern const uint32_t gCubeColours[kCubeFaces];  // one colour word per face number
extern float gAng1, gAng2;                       // the two angles, set from t by projectCube

// One logo pixel (red, green, blue, alpha) over a frame pixel: alpha 10 or less leaves it, above
// 245 copies the logo's colour, in between blends by alpha.
uint32_t logoOver(uint32_t below, const uint8_t* rgba);

// A corner after both turns and the perspective divide; a larger pz is farther away.
struct CubeCorner {
    float px, py, pz;
};

struct ScreenPoint {
    int x, y;
};

// Sets gAng1 and gAng2 from t, then turns and projects the eight corners.
void projectCube(int32_t t, CubeCorner corner[kCubeCorners]);

// Face numbers from the farthest to the nearest; equal depths keep their face order.
void sortCubeFaces(const CubeCorner corner[kCubeCorners], int order[kCubeFaces]);

// Where a projected corner lands on the screen, in whole pixels.
ScreenPoint cubeScreenPoint(const CubeCorner& corner);
