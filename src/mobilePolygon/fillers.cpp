// fillers.cpp: flat and alpha-blended textured triangles, drawn span by span from the edge table.
#include "2d/blend.h"
#include "mobilePolygon.h"
#include "wrap.h"

constexpr int kRowPixels = 320;  // the Frame buffer's row length; spans are addressed row * 320 + x

// Each channel c of a colour (top byte dropped) as 255 c / 256 rounded down, which is c - 1 for
// every c but 0: what a blend gives where one side has no weight at all.
static inline uint32_t fadedByOne(uint32_t colour) {
    const uint32_t c = colour & 0xFFFFFFu;
    const uint32_t nonZero = (((c & 0x7F7F7Fu) + 0x7F7F7Fu) | c) & 0x808080u;  // bit 7 of each non-zero byte
    return c - (nonZero >> 7);
}

// The texel's Picture bytes read as one little-endian word and blended by its alpha channel by
// channel where they lie, not repacked: the picture's red byte meets the frame's blue channel and
// its blue byte the red one. Most texels are clear or opaque, where the blend leaves one side alone.
static inline uint32_t blendTexel(const uint8_t* texel, uint32_t f) {
    const uint32_t t = uint32_t(texel[0]) | (uint32_t(texel[1]) << 8) | (uint32_t(texel[2]) << 16) |
                       (uint32_t(texel[3]) << 24);
    const uint32_t alpha = t >> 24;
    if (alpha == 0) return fadedByOne(f);
    if (alpha == 255) return fadedByOne(t);
    return blendOver(t, alpha, f);  // the alpha byte on top, which blendOver ignores
}

void mobRenderLine(uint32_t* frame, int rowOffset, const Texture* texture, Coordinate left, Coordinate right) {
    const Fixed du = wrapSub(right.u, left.u);
    const Fixed dv = wrapSub(right.v, left.v);
    const Fixed w = wrapSub(right.x, left.x);
    Fixed stepU = du, stepV = dv;  // narrower than 1.0: the whole difference in one pixel
    if (wholePart(w) > 0) {
        stepU = mobDivFixed(du, w);
        stepV = mobDivFixed(dv, w);
    }
    const int width = texture->width;
    const uint32_t texels = static_cast<uint32_t>(width * texture->height);
    const uint8_t* pixels = texture->pixels;
    uint32_t* out = frame + rowOffset;
    Fixed u = left.u, v = left.v;
    const int last = wholePart(right.x);
    for (int x = wholePart(left.x); x <= last; ++x) {
        // A column past the width reads the next row; an index below 0 turns huge as unsigned, so
        // one comparison finds it outside the texture like one past the end.
        const uint32_t index = static_cast<uint32_t>(width * wholePart(v) + wholePart(u));
        out[x] = index < texels ? blendTexel(pixels + 4 * index, out[x]) : 0xFFFFFFFFu;
        u = wrapAdd(u, stepU);
        v = wrapAdd(v, stepV);
    }
}

void mobRenderFlatLine(uint32_t* frame, int rowOffset, uint32_t colour, Coordinate left, Coordinate right) {
    uint32_t* out = frame + rowOffset;
    const int last = wholePart(right.x);
    for (int x = wholePart(left.x); x <= last; ++x) out[x] = colour;
}

// The edge order matters: an edge on a single row overwrites what earlier edges left there.
static void scanTriangle(Coordinate a, Coordinate b, Coordinate c, bool textured) {
    mobInitRender();
    mobClearEdges(wholePart(a.y), wholePart(b.y), wholePart(c.y));
    if (textured) {
        mobRasterizeEdge(a, b);
        mobRasterizeEdge(b, c);
        mobRasterizeEdge(c, a);
    } else {
        mobRasterizeFlatEdge(a, b);
        mobRasterizeFlatEdge(b, c);
        mobRasterizeFlatEdge(c, a);
    }
}

void mobDrawTriangle(uint32_t* frame, const Texture* texture, Coordinate a, Coordinate b, Coordinate c) {
    scanTriangle(a, b, c, true);
    for (int row = gTop; row <= gBottom; ++row) {
        const EdgeInfo& e = gEdgeInfo[row];
        mobRenderLine(frame, row * kRowPixels, texture, {e.left, 0, e.leftU, e.leftV},
                      {e.right, 0, e.rightU, e.rightV});
    }
}

void mobDrawFlatTriangle(uint32_t* frame, uint32_t colour, Coordinate a, Coordinate b, Coordinate c) {
    scanTriangle(a, b, c, false);
    for (int row = gTop; row <= gBottom; ++row) {
        const EdgeInfo& e = gEdgeInfo[row];
        mobRenderFlatLine(frame, row * kRowPixels, colour, {e.left, 0, 0, 0}, {e.right, 0, 0, 0});
    }
}
