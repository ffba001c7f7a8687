// clock.cpp: the opening scene: two dials turning in jumps on the music's marks over a background.
#include <cstring>

#include "2d/frame.h"
#include "assets/pictures.h"
#include "effects.h"
#include "mobilePolygon/mobilePolygon.h"
#include "pictureCopy.h"
#include "sync.h"
#include "tables.h"

Texture fx101;  // the big dial, klocka1
Texture fx102;  // the small dial, klocka2

static uint32_t background[kPixels];  // klockz as frame words, converted once

// The effects module's own copies of the rasterizer's conversions; shifted in unsigned so that a
// negative number is defined behaviour too.
Fixed favorit2(int i) { return static_cast<Fixed>(static_cast<uint32_t>(i) << 16); }

Coordinate favorit(int x, int y, int u, int v) { return {favorit2(x), favorit2(y), favorit2(u), favorit2(v)}; }

void effect10_init() {
    fx101 = {klocka1, 256, 256};
    fx102 = {klocka2, 185, 185};
    toFrameWords(background, klockz, kPixels);
}

namespace {

struct Dial {
    const Texture* texture;
    const int32_t* marks;
    int step;        // table entries turned per mark, of 1000 per turn
    int multiplier;  // the half-diagonal towards Q1, scaled by 1/256
    int shift;       // the half-diagonal towards Q4, as a shift of the table value
    int centreX, centreY;
    int lo, hi;      // texel range along both axes
};

const Dial kBigDial = {&fx101, klocka1_sync, 101, -64, 2, 100, 100, 5, 250};
const Dial kSmallDial = {&fx102, klocka2_sync, 52, -32, 3, 190, 140, 5, 180};

// The dial's angle after k marks.
void drawDial(uint32_t* frame, const Dial& d, int k) {
    const int n = (d.step * k) % kTurn;
    const int32_t s = sine[n], c = cose[n];
    const int32_t sA = (s * d.multiplier) >> 8, cA = (c * d.multiplier) >> 8;  // >> floors
    const int32_t sB = s >> d.shift, cB = c >> d.shift;
    const Coordinate q1 = favorit(d.centreX + cA - sA, d.centreY + sA + cA, d.lo, d.lo);
    const Coordinate q2 = favorit(d.centreX + cB - sA, d.centreY + sB + cA, d.hi, d.lo);
    const Coordinate q3 = favorit(d.centreX + cA - sB, d.centreY + sA + cB, d.lo, d.hi);
    const Coordinate q4 = favorit(d.centreX + cB - sB, d.centreY + sB + cB, d.hi, d.hi);
    mobDrawTriangle(frame, d.texture, q1, q2, q3);
    mobDrawTriangle(frame, d.texture, q2, q3, q4);  // the diagonal Q2-Q3 is blended twice
}

// The dials stand still between marks, so the scene's frame follows from the marks each has
// passed and changes only 18 times in its 8.8 s. The last frame drawn is kept with its marks, and
// a frame that shows the same marks is a copy of it: the device would otherwise draw both dials
// again at every refresh, the costliest frames of the show's first seconds.
uint32_t lastDrawn[kPixels];
int lastBigMarks = -1, lastSmallMarks = -1;

}  // namespace

void effect10(uint32_t* frame, int32_t t) {
    const int big = marksPassed(kBigDial.marks, t), small = marksPassed(kSmallDial.marks, t);
    if (big != lastBigMarks || small != lastSmallMarks) {
        std::memcpy(lastDrawn, background, sizeof background);  // klockz, alpha skipped
        drawDial(lastDrawn, kBigDial, big);
        drawDial(lastDrawn, kSmallDial, small);  // overlaps the big dial and lies over it
        lastBigMarks = big;
        lastSmallMarks = small;
    }
    std::memcpy(frame, lastDrawn, sizeof lastDrawn);
}
