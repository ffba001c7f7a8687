// cube.cpp: the cube and stripes scene: drifting grey stripes on black with the logo blended over
// them by alpha (effect5, every pixel of the frame written), then a turning cube of twelve flat
// triangles drawn back to front (effect11).
#include "effects.h"
#include "cube.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "2d/blend.h"
#include "2d/frame.h"
#include "assets/pictures.h"
#include "coverRuns.h"
#include "pictureCopy.h"
#include "sineCosine.h"
#include "mobilePolygon/mobilePolygon.h"

const float gCube[kCubeCorners][3] = {
    {-1, -1, -1}, {1, -1, -1}, {1, 1, -1}, {-1, 1, -1},
    {-1, -1, 1},  {1, -1, 1},  {1, 1, 1},  {-1, 1, 1},
};

// Two triangles per side: z = -1, z = +1, x = -1, x = +1, y = -1, y = +1.
const int32_t gCubeFaces[kCubeFaces][3] = {
    {0, 1, 2}, {0, 3, 2}, {4, 5, 6}, {4, 7, 6}, {0, 4, 7}, {0, 3, 7},
    {1, 2, 5}, {6, 2, 5}, {0, 1, 4}, {5, 1, 4}, {2, 3, 7}, {2, 6, 7},
};

// Whole words, top byte included: the filler stores them unchanged.
const uint32_t gCubeColours[kCubeFaces] = {
    0x55555555, 0x55555555, 0x55555555, 0x55555555, 0x55555555, 0x55555555,
    0x22222222, 0x22222222, 0x22222222, 0x22222222, 0x22222222, 0x22222222,
};

float gAng1;
float gAng2;

namespace {

constexpr uint32_t kStripe = 0x222222;
constexpr int kStripePeriod = 18;  // along x + y: 9 pixels of stripe, 9 of what was there
constexpr int kStripeWidth = 9;
constexpr int kStripeStepMs = 20;  // one diagonal step toward the top-left every 20 ms
constexpr int kLogoSkip = 10;      // alpha at or below: the logo leaves the pixel
constexpr int kLogoCopy = 245;     // alpha above: the logo's colour replaces it

uint32_t logoWords[kPixels];  // the logo as frame words, for its covered runs
CoverRuns logoRuns;           // the logo's rows cut by alpha: left, copied or blended
// The logo's mixed pixels, in the order of its runs, blended once over the two colours below them:
// black and the stripe colour.
std::vector<uint32_t> logoOverBlack, logoOverStripe;

constexpr float kTurn1PerMs = 0.001f;
constexpr float kTurn2PerMs = 0.0016666667f;  // the float nearest 1/600
constexpr double kEyeDistance = 4.0;
constexpr float kScale = 80.0f;    // pixels per unit of projected size
constexpr float kCentreX = 90.0f;  // left of and below the frame's centre
constexpr float kCentreY = 180.0f;

// The stripes over black, one row for each of the period's phases: row y at step s is the row of
// phase (y + s) mod 18, so a frame's stripes are 240 copies of 18 rows.
uint32_t stripeRows[kStripePeriod][kWidth];

// The stripes of one row over black: pixel x takes the stripe colour where (x + y + s) mod 18 is
// below 9, and black elsewhere.
void stripeRow(uint32_t* row, int y, int s) {
    if (y + s < 0) {  // negative times only: the sum changes sign along the row
        for (int x = 0; x < kWidth; ++x) row[x] = (x + y + s) % kStripePeriod < kStripeWidth ? kStripe : 0;
        return;
    }
    std::memcpy(row, stripeRows[(y + s) % kStripePeriod], sizeof stripeRows[0]);
}

}  // namespace

// Per channel the masked 32-bit form (((a * (S & M)) >> 8) + (((255 - a) * (D & M)) >> 8)) & M
// comes to blendOver's rounding: red and green once after the sum, blue per term.
uint32_t logoOver(uint32_t below, const uint8_t* rgba) {
    const uint32_t a = rgba[3];
    if (a <= kLogoSkip) return below;
    return a > kLogoCopy ? packPixel(rgba) : blendOver(packPixel(rgba), a, below);
}

void effect5_init() {
    for (int phase = 0; phase < kStripePeriod; ++phase)
        for (int x = 0; x < kWidth; ++x)
            stripeRows[phase][x] = (x + phase) % kStripePeriod < kStripeWidth ? kStripe : 0;
    toFrameWords(logoWords, tarnivoisback, kPixels);
    logoRuns = findCoverRuns(tarnivoisback, kLogoSkip + 1, kLogoCopy + 1);
    logoOverBlack.clear();
    logoOverStripe.clear();
    for (int y = 0; y < kHeight; ++y)
        for (uint32_t r = logoRuns.rowRuns[y]; r < logoRuns.rowRuns[y + 1]; ++r) {
            const CoverRun& run = logoRuns.runs[r];
            if (run.cover != Cover::mixed) continue;
            for (int i = y * kWidth + run.start; i < y * kWidth + run.start + run.length; ++i) {
                logoOverBlack.push_back(logoOver(0, tarnivoisback + 4 * i));
                logoOverStripe.push_back(logoOver(kStripe, tarnivoisback + 4 * i));
            }
        }
}

void effect5(uint32_t* frame, int32_t t) {
    const int s = t / kStripeStepMs;  // truncates toward zero
    size_t mixed = 0;  // the logo's mixed pixels passed so far
    for (int y = 0; y < kHeight; ++y) {
        uint32_t* row = frame + y * kWidth;
        stripeRow(row, y, s);
        // The logo over the stripes, logoOver for every pixel: a copy where it covers, the blend
        // looked up where it is mixed (the pixel below is black or a stripe), and nothing where it
        // is clear, as most of it is.
        const uint32_t* words = logoWords + y * kWidth;
        for (uint32_t r = logoRuns.rowRuns[y]; r < logoRuns.rowRuns[y + 1]; ++r) {
            const CoverRun& run = logoRuns.runs[r];
            if (run.cover == Cover::covered) {
                std::memcpy(row + run.start, words + run.start, run.length * sizeof(uint32_t));
            } else if (run.cover == Cover::mixed) {
                uint32_t* pixel = row + run.start;
                const uint32_t* overBlack = logoOverBlack.data() + mixed;
                const uint32_t* overStripe = logoOverStripe.data() + mixed;
                for (int i = 0; i < run.length; ++i) pixel[i] = pixel[i] == kStripe ? overStripe[i] : overBlack[i];
                mixed += run.length;
            }
        }
    }
}

void effect11_init() { initSineCosine(); }  // at start-up rather than in the cube's first frame

// Every step rounds where written: doubles for the turns (their sines and cosines our own, the
// same bits on every C library) and the perspective, each named result
// stored as a float. The corners and the face order are fixed to the pixel, so nothing may be
// fused or kept at higher precision.
void projectCube(int32_t t, CubeCorner corner[kCubeCorners]) {
    gAng1 = static_cast<float>(t) * kTurn1PerMs;
    gAng2 = static_cast<float>(t) * kTurn2PerMs;
    double c1, s1, c2, s2;
    showSinCos(static_cast<double>(gAng1), s1, c1);
    showSinCos(static_cast<double>(gAng2), s2, c2);
    for (int v = 0; v < kCubeCorners; ++v) {
        const double X = gCube[v][0], Y = gCube[v][1], Z = gCube[v][2];
        const float x1 = static_cast<float>(c1 * X - s1 * Y);
        const float y1 = static_cast<float>(s1 * X + c1 * Y);
        // The second turn takes (Z, y1) as the first takes (X, Y): not the textbook x-axis turn.
        const float y2 = static_cast<float>(c2 * Z - s2 * y1);
        const float z2 = static_cast<float>(s2 * Z + c2 * y1);
        const double k = 1.0 / (z2 + kEyeDistance);  // z2 + 4 stays above 2.2
        corner[v] = {static_cast<float>(x1 * k), static_cast<float>(y2 * k), z2};
    }
}

void sortCubeFaces(const CubeCorner corner[kCubeCorners], int order[kCubeFaces]) {
    float key[kCubeFaces];  // two float additions, in this order
    for (int f = 0; f < kCubeFaces; ++f) {
        const int32_t* face = gCubeFaces[f];
        key[f] = (corner[face[0]].pz + corner[face[1]].pz) + corner[face[2]].pz;
    }
    for (int f = 0; f < kCubeFaces; ++f) order[f] = f;
    // Bubble sort, farthest first; the strict test keeps equal keys in face order.
    for (int pass = 0; pass < kCubeFaces; ++pass)
        for (int j = 0; j + 1 < kCubeFaces; ++j)
            if (key[order[j + 1]] > key[order[j]]) {
                const int swapped = order[j];
                order[j] = order[j + 1];
                order[j + 1] = swapped;
            }
}

ScreenPoint cubeScreenPoint(const CubeCorner& corner) {
    const float sx = corner.px * kScale + kCentreX;  // a float multiply, then a float add
    const float sy = corner.py * kScale + kCentreY;
    return {static_cast<int>(sx), static_cast<int>(sy)};  // truncation toward zero
}

// No culling and no depth buffer: nearer faces are simply drawn later.
void effect11(uint32_t* frame, int32_t t) {
    CubeCorner corner[kCubeCorners];
    projectCube(t, corner);
    int order[kCubeFaces];
    sortCubeFaces(corner, order);
    for (int f : order) {
        Coordinate c[3];
        for (int k = 0; k < 3; ++k) {
            const ScreenPoint p = cubeScreenPoint(corner[gCubeFaces[f][k]]);
            c[k] = mobInt2Coordinate(p.x, p.y, 0, 0);  // whole pixels, no texture
        }
        mobDrawFlatTriangle(frame, gCubeColours[f], c[0], c[1], c[2]);
    }
}
