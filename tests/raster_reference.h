// raster_reference.h: a slow rasterizer written straight from the rules of the edge table and the
// spans, for the tests to compare the real one with. Each pixel is decided on its own: its row's
// span is found by asking every edge, in order, where it crosses that row (by multiplication, not
// by stepping), and its texel by counting steps from the span's left end. Division is the real
// mobDivFixed, which has its own tests. Also a frame comparison that says where two frames part.
#pragma once
#include <algorithm>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "mobilePolygon/mobilePolygon.h"

namespace ref {

constexpr int kW = 320, kH = 240;

inline Coordinate at(double x, double y, double u = 0, double v = 0) {
    return {Fixed(x * 65536), Fixed(y * 65536), Fixed(u * 65536), Fixed(v * 65536)};
}

// Wrap a 64-bit value to 32 bits the way 16.16 addition does.
inline Fixed wrap(int64_t value) { return static_cast<Fixed>(static_cast<uint32_t>(static_cast<uint64_t>(value))); }

// The span that the three edges A->B, B->C, C->A leave on one row.
inline EdgeInfo rowSpan(int row, const Coordinate (&tri)[3]) {
    EdgeInfo s = {0x1400000, 0, 0, 0, 0, 0};  // an untouched row: 320.0 and 0
    for (int e = 0; e < 3; ++e) {
        const Coordinate a = tri[e], b = tri[(e + 1) % 3];
        if ((a.y >> 16) == (b.y >> 16)) {  // lies on one row: overwrites it, ordered by whole columns
            if (row != (a.y >> 16)) continue;
            const bool aLeft = (b.x >> 16) > (a.x >> 16);
            const Coordinate l = aLeft ? a : b, r = aLeft ? b : a;
            s = {l.x, r.x, l.u, l.v, r.u, r.v};
            continue;
        }
        const Coordinate top = (a.y >> 16) < (b.y >> 16) ? a : b, bottom = (a.y >> 16) < (b.y >> 16) ? b : a;
        // Samples lie at top.y + j for j = 0, 1, ... while not below bottom.y, sample j on row top + j.
        const int64_t j = row - (top.y >> 16);
        if (j < 0 || int64_t(top.y) + j * 65536 > bottom.y) continue;
        const auto sample = [&](Fixed p, Fixed q) { return wrap(p + j * mobDivFixed(q - p, bottom.y - top.y)); };
        const Fixed x = sample(top.x, bottom.x), u = sample(top.u, bottom.u), v = sample(top.v, bottom.v);
        if (x < s.left) s.left = x, s.leftU = u, s.leftV = v;
        if (x > s.right) s.right = x, s.rightU = u, s.rightV = v;
    }
    return s;
}

// A texel over a frame pixel: the texel's bytes as a little-endian word, blended in place.
inline uint32_t blend(const uint8_t* texel, uint32_t frame) {
    const uint32_t a = texel[3], b = 255 - a;
    const uint32_t red = (a * texel[2] + b * ((frame >> 16) & 0xFF)) / 256;
    const uint32_t green = (a * texel[1] + b * ((frame >> 8) & 0xFF)) / 256;
    return red * 65536 + green * 256 + (a * texel[0]) / 256 + (b * (frame & 0xFF)) / 256;
}

// Pixel x of a textured span: steps counted from the left end, white outside the texture.
inline uint32_t texturedPixel(int x, const EdgeInfo& s, const Texture& tex, uint32_t old) {
    const int64_t i = x - (s.left >> 16);
    const Fixed w = s.right - s.left, du = s.rightU - s.leftU, dv = s.rightV - s.leftV;
    const Fixed stepU = (w >> 16) > 0 ? mobDivFixed(du, w) : du, stepV = (w >> 16) > 0 ? mobDivFixed(dv, w) : dv;
    const Fixed u = wrap(s.leftU + i * stepU), v = wrap(s.leftV + i * stepV);
    const int64_t index = int64_t(tex.width) * (v >> 16) + (u >> 16);
    if (index < 0 || index >= int64_t(tex.width) * tex.height) return 0xFFFFFFFFu;
    return blend(tex.pixels + 4 * index, old);
}

// Draws one triangle into the frame pixel by pixel: textured, or in one colour when tex is null.
inline void triangle(std::vector<uint32_t>& frame, const Texture* tex, uint32_t colour, const Coordinate (&tri)[3]) {
    for (int y = 0; y < kH; ++y) {
        const EdgeInfo s = rowSpan(y, tri);
        for (int x = std::max(0, s.left >> 16); x <= std::min(kW - 1, s.right >> 16); ++x)
            frame[y * kW + x] = tex ? texturedPixel(x, s, *tex, frame[y * kW + x]) : colour;
    }
}

// The first pixel where two frames differ, described, or "" when they agree.
inline std::string firstDifference(const std::vector<uint32_t>& got, const std::vector<uint32_t>& want) {
    const auto [g, w] = std::mismatch(got.begin(), got.end(), want.begin());
    if (g == got.end()) return "";
    std::ostringstream text;
    text << "pixel (" << (g - got.begin()) % kW << ", " << (g - got.begin()) / kW << ") is 0x" << std::hex << *g
         << ", want 0x" << *w;
    return text.str();
}

}  // namespace ref
