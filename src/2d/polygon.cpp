// polygon.cpp: the triangle outline, which shows where each row's span limits fall.
#include "2d.h"
#include "frame.h"

#include <algorithm>
#include <iterator>
#include <utility>

namespace {

constexpr uint32_t kRed = 0x00FF0000;   // the pixel moved the row's leftmost column
constexpr uint32_t kBlue = 0x000000FF;  // the pixel moved the row's rightmost column

struct Limits {
    int16_t leftmost[kHeight];
    int16_t rightmost[kHeight];
};

// Walks the rows from start.y truncated while the row is above end.y, so the row of a whole-number
// end.y is left to the next edge. An edge whose ends share y walks nothing, whole or fractional:
// its reciprocal would be infinite. Every x is held within the edge's own columns: an edge
// starting at a fractional y first samples the row above its start, where the line extended
// upward could leave the frame, and a huge slope from a tiny height could give 0 * inf.
void walkEdge(uint32_t* frame, Limits& limits, Vertex start, Vertex end) {
    if (start.y == end.y) return;
    const float slope = (end.x - start.x) * (1.0f / (end.y - start.y));  // single precision
    const float lo = std::min(start.x, end.x), hi = std::max(start.x, end.x);
    for (int16_t i = static_cast<int16_t>(start.y); static_cast<float>(i) < end.y; ++i) {
        float x = start.x + (static_cast<float>(i) - start.y) * slope;
        if (x != x) x = start.x;  // NaN: only 0 * inf, on the start row of a near-flat edge
        x = std::clamp(x, lo, hi);
        const int column = static_cast<int>(x);  // truncation toward zero
        if (limits.leftmost[i] > x) {
            frame[i * kWidth + column] = kRed;
            limits.leftmost[i] = static_cast<int16_t>(column);
        }
        if (limits.rightmost[i] < x) {
            frame[i * kWidth + column] = kBlue;
            limits.rightmost[i] = static_cast<int16_t>(column);
        }
    }
}

}  // namespace

void PutPolygon(uint32_t* frame, Vertex p0, Vertex p1, Vertex p2) {
    Limits limits;
    std::fill(std::begin(limits.leftmost), std::end(limits.leftmost), int16_t{kWidth});
    std::fill(std::begin(limits.rightmost), std::end(limits.rightmost), int16_t{0});
    // Whole records move, and only on a strictly greater y.
    if (p0.y > p1.y) std::swap(p0, p1);
    if (p0.y > p2.y) std::swap(p0, p2);
    if (p1.y > p2.y) std::swap(p1, p2);
    walkEdge(frame, limits, p0, p1);  // top -> middle
    walkEdge(frame, limits, p0, p2);  // top -> bottom
    walkEdge(frame, limits, p1, p2);  // middle -> bottom
}
