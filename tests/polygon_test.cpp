// The triangle outline: rows and colours of a worked example, independence from vertex order, and
// that edges with flat or near-flat fractional rows stay between their own end columns.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "2d/2d.h"
#include "2d/frame.h"

namespace {

constexpr uint32_t kRed = 0xFF0000, kBlue = 0x0000FF;
constexpr int kGuard = 16 * kWidth;  // whole rows of marker before and after the frame

struct GuardedFrame {
    std::vector<uint32_t> words = std::vector<uint32_t>(kPixels + 2 * kGuard, 0);
    uint32_t* frame() { return words.data() + kGuard; }
    uint32_t at(int x, int y) { return frame()[y * kWidth + x]; }
    bool guardsClean() const {
        for (int i = 0; i < kGuard; ++i)
            if (words[i] != 0 || words[kGuard + kPixels + i] != 0) return false;
        return true;
    }
};

std::vector<uint32_t> outline(Vertex a, Vertex b, Vertex c) {
    GuardedFrame g;
    PutPolygon(g.frame(), a, b, c);
    EXPECT_TRUE(g.guardsClean());
    return {g.frame(), g.frame() + kPixels};
}

}  // namespace

TEST(PutPolygon, WorkedExampleRowsAndColours) {
    const auto f = outline({10.0f, 10.0f, 0}, {50.0f, 30.0f, 0}, {10.0f, 50.0f, 0});
    std::vector<uint32_t> expected(kPixels, 0);
    auto set = [&](int x, int y, uint32_t c) { expected[y * kWidth + x] = c; };
    set(10, 10, kBlue);  // the first edge to reach row 10 passes both tests
    for (int i = 11; i < 30; ++i) {
        set(10 + 2 * (i - 10), i, kBlue);  // top -> middle moves the right limit
        set(10, i, kRed);                  // top -> bottom moves only the left limit
    }
    for (int i = 30; i < 50; ++i) {
        set(10, i, kBlue);                 // top -> bottom comes first here: red, then blue
        set(50 - 2 * (i - 30), i, kBlue);  // middle -> bottom lies to the right
    }
    for (int i = 0; i < kPixels; ++i)
        ASSERT_EQ(f[i], expected[i]) << "pixel (" << i % kWidth << ", " << i / kWidth << ")";
}

TEST(PutPolygon, EveryVertexOrderDrawsTheSameOutline) {
    std::mt19937 random(6);
    std::uniform_real_distribution<float> column(0.0f, 319.9f), row(0.0f, 239.9f);
    for (int n = 0; n < 40; ++n) {
        Vertex v[3];
        for (int k = 0; k < 3; ++k) v[k] = {column(random), row(random), k};
        if (n % 2 == 0)
            for (Vertex& p : v) p = {std::floor(p.x), std::floor(p.y), p.value};  // whole numbers
        if (v[0].y == v[1].y || v[1].y == v[2].y || v[0].y == v[2].y) continue;
        int order[3] = {0, 1, 2};
        const auto first = outline(v[0], v[1], v[2]);
        while (std::next_permutation(order, order + 3))
            ASSERT_EQ(outline(v[order[0]], v[order[1]], v[order[2]]), first)
                << "triangle " << n << " order " << order[0] << order[1] << order[2];
    }
}

TEST(PutPolygon, FlatEdgeOnAWholeRowWalksNothing) {
    // The flat top edge adds nothing: row 10 holds only what the two slanted edges plot.
    const auto f = outline({10.0f, 10.0f, 0}, {50.0f, 10.0f, 0}, {30.0f, 30.0f, 0});
    std::vector<int> row10;
    for (int x = 0; x < kWidth; ++x)
        if (f[10 * kWidth + x] != 0) row10.push_back(x);
    EXPECT_EQ(row10, (std::vector<int>{10, 50}));
}

TEST(PutPolygon, FlatEdgeOnAFractionalRowWalksNothing) {
    // A lone flat edge: the other two edges of this triangle are the same points, so they share
    // y as well. Nothing at all is drawn.
    EXPECT_EQ(outline({10.0f, 10.5f, 0}, {200.0f, 10.5f, 0}, {10.0f, 10.5f, 0}),
              std::vector<uint32_t>(kPixels, 0));
    // With a third vertex below, row 10 holds only the start columns of the two slanted edges
    // (held to their end columns on the row above their start), never anything of the flat edge.
    const auto f = outline({10.0f, 10.5f, 0}, {200.0f, 10.5f, 0}, {100.0f, 40.0f, 0});
    std::vector<int> row10;
    for (int x = 0; x < kWidth; ++x)
        if (f[10 * kWidth + x] != 0) row10.push_back(x);
    EXPECT_EQ(row10, (std::vector<int>{10, 200}));
}

// Edges that rise only a hair between two rows, or start a hair above a row, have enormous
// slopes. Every plotted pixel must still lie between the triangle's own columns and rows.
TEST(PutPolygon, SteepFractionalEdgesStayWithinTheirColumns) {
    const float tiny = std::nextafter(0.0f, 1.0f);  // a subnormal height: its reciprocal is inf
    const Vertex cases[][3] = {
        {{5.0f, 0.9f, 0}, {300.0f, 1.0f, 0}, {150.0f, 20.0f, 0}},
        {{300.0f, 0.9f, 0}, {5.0f, 1.0f, 0}, {150.0f, 20.0f, 0}},
        {{5.0f, 0.0f, 0}, {310.0f, tiny, 0}, {100.0f, 3.5f, 0}},
        {{5.0f, 0.0f, 0}, {5.0f, tiny, 0}, {100.0f, 3.5f, 0}},
        {{0.0f, 238.25f, 0}, {319.5f, 238.2500153f, 0}, {160.0f, 239.75f, 0}},
    };
    for (const auto& v : cases) {
        const auto f = outline(v[0], v[1], v[2]);
        const float minX = std::min({v[0].x, v[1].x, v[2].x});
        const float maxX = std::max({v[0].x, v[1].x, v[2].x});
        const float minY = std::min({v[0].y, v[1].y, v[2].y});
        const float maxY = std::max({v[0].y, v[1].y, v[2].y});
        int plotted = 0;
        for (int i = 0; i < kPixels; ++i) {
            if (f[i] == 0) continue;
            ++plotted;
            const int x = i % kWidth, y = i / kWidth;
            ASSERT_TRUE(f[i] == kRed || f[i] == kBlue);
            ASSERT_GE(x, static_cast<int>(minX));
            ASSERT_LE(x, static_cast<int>(maxX));
            ASSERT_GE(y, static_cast<int>(minY));
            ASSERT_LE(y, static_cast<int>(maxY));
        }
        EXPECT_GT(plotted, 0);
    }
}
