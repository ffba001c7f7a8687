// The triangle outline: rows and colours of a worked example, independence from vertex order, and
// that edges with flat or near-flat fractional rows stay between their own end columns.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <tuple>
#include <vector>

#include "2d/2d.h"
#include "2d/frame.h"

namespace {

constexpr uint32_t kRed = 0xFF0000, kBlue = 0x0000FF;
constexpr int kGuard = 16 * kWidth;  // whole rows before and after the frame, which must stay 0

using Pixels = std::vector<std::tuple<int, int, uint32_t>>;  // (x, y, colour), in frame order

// The plotted pixels of the outline.
Pixels outline(Vertex a, Vertex b, Vertex c) {
    std::vector<uint32_t> words(kPixels + 2 * kGuard, 0);
    PutPolygon(words.data() + kGuard, a, b, c);
    Pixels drawn;
    for (int i = 0; i < kPixels + 2 * kGuard; ++i)
        if (words[i] != 0) drawn.emplace_back(i % kWidth, i / kWidth - kGuard / kWidth, words[i]);
    EXPECT_TRUE(drawn.empty() || (std::get<1>(drawn.front()) >= 0 && std::get<1>(drawn.back()) < kHeight));
    return drawn;
}

}  // namespace

TEST(PutPolygon, WorkedExampleRowsAndColours) {
    Pixels expected = {{10, 10, kBlue}};  // the first edge to reach row 10 passes both tests
    for (int i = 11; i < 30; ++i)  // top -> bottom moves only the left limit, top -> middle the right
        expected.insert(expected.end(), {{10, i, kRed}, {10 + 2 * (i - 10), i, kBlue}});
    for (int i = 30; i < 50; ++i)  // top -> bottom comes first here, middle -> bottom lies to the right
        expected.insert(expected.end(), {{10, i, kBlue}, {50 - 2 * (i - 30), i, kBlue}});
    EXPECT_EQ(outline({10.0f, 10.0f, 0}, {50.0f, 30.0f, 0}, {10.0f, 50.0f, 0}), expected);  // row 50 empty
}

TEST(PutPolygon, EveryVertexOrderDrawsTheSameOutline) {
    std::mt19937 random(6);
    std::uniform_real_distribution<float> column(0.0f, 319.9f), row(0.0f, 239.9f);
    for (int n = 0; n < 40; ++n) {
        auto pick = [&](auto& d) { return n % 2 ? d(random) : std::floor(d(random)); };  // or whole
        const Vertex v[3] = {
            {pick(column), pick(row), 0}, {pick(column), pick(row), 1}, {pick(column), pick(row), 2}};
        if (v[0].y == v[1].y || v[1].y == v[2].y || v[0].y == v[2].y) continue;
        int order[3] = {0, 1, 2};
        const Pixels first = outline(v[0], v[1], v[2]);
        while (std::next_permutation(order, order + 3))
            ASSERT_EQ(outline(v[order[0]], v[order[1]], v[order[2]]), first)
                << "triangle " << n << " order " << order[0] << order[1] << order[2];
    }
}

// An edge whose ends share y walks nothing, on a whole row or a fractional one, and slanted edges
// starting at a fractional y are held to their end columns on the row above their start. Near-flat
// edges have enormous (or infinite) slopes: every pixel stays within the triangle's box.
TEST(PutPolygon, FlatAndNearFlatEdgesStayWithinTheirColumns) {
    const float tiny = std::nextafter(0.0f, 1.0f);  // a subnormal height: its reciprocal is inf
    const struct { Vertex v[3]; std::vector<int> row10; } cases[] = {  // row 10 of the first three
        {{{10.0f, 10.0f, 0}, {50.0f, 10.0f, 0}, {30.0f, 30.0f, 0}}, {10, 50}},
        {{{10.0f, 10.5f, 0}, {200.0f, 10.5f, 0}, {100.0f, 40.0f, 0}}, {10, 200}},
        {{{10.0f, 10.5f, 0}, {200.0f, 10.5f, 0}, {10.0f, 10.5f, 0}}, {}},  // all flat: nothing at all
        {{{5.0f, 0.9f, 0}, {300.0f, 1.0f, 0}, {150.0f, 20.0f, 0}}, {}},
        {{{300.0f, 0.9f, 0}, {5.0f, 1.0f, 0}, {150.0f, 20.0f, 0}}, {}},
        {{{5.0f, 0.0f, 0}, {310.0f, tiny, 0}, {100.0f, 3.5f, 0}}, {}},
        {{{0.0f, 238.25f, 0}, {319.5f, 238.2500153f, 0}, {160.0f, 239.75f, 0}}, {}},
    };
    for (int c = 0; c < 7; ++c) {
        const Vertex* v = cases[c].v;
        const Pixels drawn = outline(v[0], v[1], v[2]);
        const auto [minX, maxX] = std::minmax({v[0].x, v[1].x, v[2].x});
        const auto [minY, maxY] = std::minmax({v[0].y, v[1].y, v[2].y});
        std::vector<int> row10;
        for (auto [x, y, colour] : drawn) {
            ASSERT_TRUE(x >= int(minX) && x <= int(maxX) && y >= int(minY) && y <= int(maxY)) << c << ": " << x;
            if (y == 10) row10.push_back(x);
        }
        if (c < 3) { EXPECT_EQ(row10, cases[c].row10) << "triangle " << c; }
        EXPECT_EQ(drawn.empty(), maxY == minY) << "triangle " << c;
    }
}
