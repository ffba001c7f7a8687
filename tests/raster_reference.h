// raster_reference.h: a slow rasterizer written straight from the rules of the edge table and the
// spans, for the tests to compare the real one with. Each pixel is decided on its own: its row's
// span is found by asking every edge, in order, where it crosses that row (by multiplication, not
// by stepping), and its texel by counting steps from the span's left end. Division is the real
// mobDivFixed, which has its own tests.
#pragma once
#include <cstdint>
#include <vector>

#include "mobilePolygon/mobilePolygon.h"

namespace ref {

constexpr int kW = 320, kH = 240;

// Wrap a 64-bit value to 32 bits the way 16.16 addition does.
inline Fixed wrap(int64_t value) { return static_cast<Fixed>(static_cast<uint32_t>(static_cast<uint64_t>(value))); }

struct Span {
    Fixed left = 0x1400000, right = 0;  // an untouched row: 320.0 and 0
    Fixed leftU = 0, leftV = 0, rightU = 0, rightV = 0;
};

// The span that the three edges A->B, B->C, C->A leave on one row.
inline Span rowSpan(int row, const Coordinate (&tri)[3]) {
    Span s;
    for (int e = 0; e < 3; ++e) {
        const Coordinate a = tri[e], b = tri[(e + 1) % 3];
        if ((a.y >> 16) == (b.y >> 16)) {  // lies on one row: overwrites it, ordered by whole columns
            if (row != (a.y >> 16)) continue;
            const Coordinate l = (b.x >> 16) > (a.x >> 16) ? a : b;
            const Coordinate r = (b.x >> 16) > (a.x >> 16) ? b : a;
            s = {l.x, r.x, l.u, l.v, r.u, r.v};
            continue;
        }
        const Coordinate top = (a.y >> 16) < (b.y >> 16) ? a : b;
        const Coordinate bottom = (a.y >> 16) < (b.y >> 16) ? b : a;
        // Samples lie at top.y + j for j = 0, 1, ... while not below bottom.y; sample j is on
        // row (top.y >> 16) + j.
        const int64_t j = row - (top.y >> 16);
        if (j < 0 || int64_t(top.y) + j * 65536 > bottom.y) continue;
        const Fixed dy = bottom.y - top.y;
        const Fixed x = wrap(top.x + j * mobDivFixed(bottom.x - top.x, dy));
        const Fixed u = wrap(top.u + j * mobDivFixed(bottom.u - top.u, dy));
        const Fixed v = wrap(top.v + j * mobDivFixed(bottom.v - top.v, dy));
        if (x < s.left) s.left = x, s.leftU = u, s.leftV = v;
        if (x > s.right) s.right = x, s.rightU = u, s.rightV = v;
    }
    return s;
}

// A texel over a frame pixel: the texel's bytes as a little-endian word, blended in place.
inline uint32_t blend(const uint8_t* texel, uint32_t frame) {
    const uint32_t t0 = texel[0], t1 = texel[1], t2 = texel[2], a = texel[3], b = 255 - a;
    const uint32_t f0 = frame & 0xFF, f1 = (frame >> 8) & 0xFF, f2 = (frame >> 16) & 0xFF;
    const uint32_t red = (a * t2 + b * f2) / 256;
    const uint32_t green = (a * t1 + b * f1) / 256;
    const uint32_t blue = (a * t0) / 256 + (b * f0) / 256;
    return red * 65536 + green * 256 + blue;
}

// The new value of pixel (x, row) under a textured span, or the old one if the span misses it.
inline uint32_t texturedPixel(int x, const Span& s, const Texture& tex, uint32_t old) {
    const int first = s.left >> 16, last = s.right >> 16;
    if (x < first || x > last) return old;
    const int64_t i = x - first;  // steps taken from the left end
    const Fixed w = s.right - s.left;
    const Fixed du = s.rightU - s.leftU, dv = s.rightV - s.leftV;
    const Fixed stepU = (w >> 16) > 0 ? mobDivFixed(du, w) : du;
    const Fixed stepV = (w >> 16) > 0 ? mobDivFixed(dv, w) : dv;
    const Fixed u = wrap(s.leftU + i * stepU), v = wrap(s.leftV + i * stepV);
    const int64_t index = int64_t(tex.width) * (v >> 16) + (u >> 16);
    if (index < 0 || index >= int64_t(tex.width) * tex.height) return 0xFFFFFFFFu;
    return blend(tex.pixels + 4 * index, old);
}

// Draws one triangle into a copy of the frame, pixel by pixel.
inline void texturedTriangle(std::vector<uint32_t>& frame, const Texture& tex, const Coordinate (&tri)[3]) {
    for (int y = 0; y < kH; ++y) {
        const Span s = rowSpan(y, tri);
        for (int x = 0; x < kW; ++x) frame[y * kW + x] = texturedPixel(x, s, tex, frame[y * kW + x]);
    }
}

inline void flatTriangle(std::vector<uint32_t>& frame, uint32_t colour, const Coordinate (&tri)[3]) {
    for (int y = 0; y < kH; ++y) {
        const Span s = rowSpan(y, tri);
        for (int x = 0; x < kW; ++x)
            if ((s.left >> 16) <= x && x <= (s.right >> 16)) frame[y * kW + x] = colour;
    }
}

}  // namespace ref
