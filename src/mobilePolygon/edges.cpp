// edges.cpp: the per-row edge table and the two edge walkers that fill it.
#include <cstdio>
#include <cstdlib>

#include "mobilePolygon.h"
#include "wrap.h"

EdgeInfo* gEdgeInfo = nullptr;
int gMobInited = 0;
int gTop = 0;
int gBottom = 0;

constexpr int kEdgeRows = 240;          // one entry per frame row
constexpr Fixed kEmptyLeft = 0x1400000;  // 320.0: any on-screen column replaces it
constexpr Fixed kEmptyRight = 0;         // any column right of 0 replaces it

void mobInitRender() {
    if (gMobInited) return;
    // Zeroed, though each triangle clears its own rows: a row whose right end never moves off 0
    // would otherwise carry texture fields that were never written into its (one-pixel) span.
    void* block = std::calloc(kEdgeRows, sizeof(EdgeInfo));
    if (block == nullptr) {
        // The first triangle has nowhere to go; there is no way to draw on without it.
        std::fprintf(stderr, "Could not allocate the edge table (%zu bytes)\n", kEdgeRows * sizeof(EdgeInfo));
        std::exit(EXIT_FAILURE);
    }
    gEdgeInfo = static_cast<EdgeInfo*>(block);
    gMobInited = 1;
}

// Only left and right are reset; the texture fields keep whatever was stored last.
void mobClearEdges(int row0, int row1, int row2) {
    gTop = row0 < row1 ? row0 : row1;
    if (row2 < gTop) gTop = row2;
    gBottom = row0 > row1 ? row0 : row1;
    if (row2 > gBottom) gBottom = row2;
    for (int row = gTop; row <= gBottom; ++row) {
        gEdgeInfo[row].left = kEmptyLeft;
        gEdgeInfo[row].right = kEmptyRight;
    }
}

// An edge on one integer row overwrites the row outright, ordered by whole columns.
static void overwriteRow(Coordinate a, Coordinate b) {
    EdgeInfo& e = gEdgeInfo[wholePart(a.y)];
    const bool aIsLeft = wholePart(b.x) > wholePart(a.x);
    const Coordinate& l = aIsLeft ? a : b;
    const Coordinate& r = aIsLeft ? b : a;
    e.left = l.x;
    e.leftU = l.u;
    e.leftV = l.v;
    e.right = r.x;
    e.rightU = r.u;
    e.rightV = r.v;
}

void mobRasterizeEdge(Coordinate a, Coordinate b) {
    if (wholePart(a.y) == wholePart(b.y)) {
        overwriteRow(a, b);
        return;
    }
    const Coordinate& top = wholePart(a.y) < wholePart(b.y) ? a : b;
    const Coordinate& bottom = wholePart(a.y) < wholePart(b.y) ? b : a;
    const Fixed dy = wrapSub(bottom.y, top.y);
    const Fixed stepX = mobDivFixed(wrapSub(bottom.x, top.x), dy);
    const Fixed stepU = mobDivFixed(wrapSub(bottom.u, top.u), dy);
    const Fixed stepV = mobDivFixed(wrapSub(bottom.v, top.v), dy);
    // No sub-pixel correction: sampled at top.y, top.y + 1.0, ... while not below bottom.y.
    Fixed x = top.x, y = top.y, u = top.u, v = top.v;
    while (y <= bottom.y) {
        EdgeInfo& e = gEdgeInfo[wholePart(y)];
        if (x < e.left) {  // strict: of two equal columns the first recorded keeps its texels
            e.left = x;
            e.leftU = u;
            e.leftV = v;
        }
        if (x > e.right) {
            e.right = x;
            e.rightU = u;
            e.rightV = v;
        }
        y = wrapAdd(y, kFixedOne);
        x = wrapAdd(x, stepX);
        u = wrapAdd(u, stepU);
        v = wrapAdd(v, stepV);
    }
}

void mobRasterizeFlatEdge(Coordinate a, Coordinate b) {
    if (wholePart(a.y) == wholePart(b.y)) {
        EdgeInfo& e = gEdgeInfo[wholePart(a.y)];
        const bool aIsLeft = wholePart(b.x) > wholePart(a.x);
        e.left = aIsLeft ? a.x : b.x;
        e.right = aIsLeft ? b.x : a.x;
        return;
    }
    const Coordinate& top = wholePart(a.y) < wholePart(b.y) ? a : b;
    const Coordinate& bottom = wholePart(a.y) < wholePart(b.y) ? b : a;
    const Fixed stepX = mobDivFixed(wrapSub(bottom.x, top.x), wrapSub(bottom.y, top.y));
    Fixed x = top.x, y = top.y;
    while (y <= bottom.y) {
        EdgeInfo& e = gEdgeInfo[wholePart(y)];
        if (x < e.left) e.left = x;
        if (x > e.right) e.right = x;
        y = wrapAdd(y, kFixedOne);
        x = wrapAdd(x, stepX);
    }
}
