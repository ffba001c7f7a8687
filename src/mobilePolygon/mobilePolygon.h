// mobilePolygon.h: the 16.16 fixed-point triangle rasterizer: an edge table of per-row spans,
// then flat or alpha-blended textured spans.
#pragma once
#include <cstdint>

using Fixed = int32_t;  // value * 65536; the integer part is x >> 16, rounding toward minus infinity

constexpr Fixed kFixedOne = 1 << 16;

struct Coordinate {
    Fixed x;  // screen column
    Fixed y;  // screen row
    Fixed u;  // texture column
    Fixed v;  // texture row
};

struct EdgeInfo {
    Fixed left, right;     // leftmost and rightmost x reached on the row
    Fixed leftU, leftV;    // texture coordinates that came with left
    Fixed rightU, rightV;  // and with right
};

struct Texture {
    const uint8_t* pixels;  // a Picture: red, green, blue, alpha per texel
    int width;
    int height;
};

extern EdgeInfo* gEdgeInfo;  // 240 rows, allocated on first use and kept until exit
extern int gMobInited;
extern int gTop, gBottom;    // rows of the triangle being drawn, inclusive

Fixed mobAddFixed(Fixed a, Fixed b);
Fixed mobSubFixed(Fixed a, Fixed b);
Fixed mobInt2Fixed(int i);
Fixed mobDivFixed(Fixed a, Fixed b);
Coordinate mobInt2Coordinate(int x, int y, int u, int v);

void mobInitRender();
void mobClearEdges(int row0, int row1, int row2);
void mobRasterizeEdge(Coordinate a, Coordinate b);
void mobRasterizeFlatEdge(Coordinate a, Coordinate b);

void mobDrawTriangle(uint32_t* frame, const Texture* texture, Coordinate a, Coordinate b, Coordinate c);
void mobDrawFlatTriangle(uint32_t* frame, uint32_t colour, Coordinate a, Coordinate b, Coordinate c);
void mobRenderLine(uint32_t* frame, int rowOffset, const Texture* texture, Coordinate left, Coordinate right);
void mobRenderFlatLine(uint32_t* frame, int rowOffset, uint32_t colour, Coordinate left, Coordinate right);
