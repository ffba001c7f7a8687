// The voxel landscape: which map columns it reads, its colours, bar heights with and without the
// surge, occlusion between near and far bars, and the sky only behind the terrain. Most cases draw
// over a height map of the test's own making, so that one sample stands out.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "2d/frame.h"
#include "assets/pictures.h"
#include "effects/effects.h"
#include "effects/sync.h"
#include "effects/tables.h"
#include "main/demo.h"

namespace {

using Frame = std::vector<uint32_t>;

constexpr uint32_t kGreen = 0x00FF00;  // map byte 255
constexpr uint32_t kBlue = 0x0000FF;   // map byte 0

struct Voxel : ::testing::Test {
    static void SetUpTestSuite() { initDemo(); }
    std::vector<uint8_t> saved = std::vector<uint8_t>(voxelmap, voxelmap + sizeof voxelmap);
    void TearDown() override { std::copy(saved.begin(), saved.end(), voxelmap); }

    static void flatMap(uint8_t value) { std::fill(std::begin(voxelmap), std::end(voxelmap), value); }
    static Frame draw(int32_t t) {
        Frame f(kPixels, 0x12345678);  // the scene clears first: nothing of this may remain
        effect4(f.data(), t);
        return f;
    }
};

uint32_t skyAt(int x, int y) {
    const uint8_t* p = upper + 4 * (y * 320 + x);
    return (uint32_t(p[0]) << 16) | (uint32_t(p[1]) << 8) | p[2];
}

// Rows first..last of strip n (all five columns) hold colour.
void expectStrip(const Frame& f, int n, int first, int last, uint32_t colour, const char* what) {
    for (int y = first; y <= last; ++y)
        for (int x = 5 * n; x < 5 * n + 5; ++x)
            if (f[y * 320 + x] != colour) {
                ADD_FAILURE() << what << ": (" << x << ", " << y << ") is " << std::hex << f[y * 320 + x]
                              << " not " << colour;
                return;
            }
}

// The scene from its description, with its own bars: each clips at the bottom of the frame and the
// whole bar stops at the first row whose leftmost pixel is already painted.
Frame referenceLandscape(int32_t t) {
    Frame f(kPixels, 0);
    const int s = t / 5;
    int pair = 0;
    while (voxelsync[2 * pair + 1] < t) ++pair;
    const bool surge = voxelsync[2 * pair] < 5 * s && 5 * s < voxelsync[2 * pair + 1];
    for (int n = 0; n < 64; ++n)
        for (int d = 0; d <= 198; d += 3) {
            const int h = voxelmap[n * 2048 + (d - s + 300000) % 2048];
            int g = std::max(h - d / 2, 20);
            if (surge) g += g / 2;
            const int bottom = 290 - d, top = bottom - g / 4;
            for (int y = top; y <= bottom && y <= 239 && f[y * 320 + 5 * n] == 0; ++y)
                for (int x = 5 * n; x < 5 * n + 5; ++x) f[y * 320 + x] = uint32_t(h) << 8 | (255 - h);
        }
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 320; ++x)
            if (f[y * 320 + x] == 0) f[y * 320 + x] = skyAt(x, y);
    return f;
}

}  // namespace

TEST_F(Voxel, MatchesTheReferenceOverTheRealMap) {
    for (int32_t t : {51000, 51500, 53000, 55755, 57777, 59599}) {
        const Frame real = draw(t), expected = referenceLandscape(t);
        for (int i = 0; i < kPixels; ++i)
            if (real[i] != expected[i]) {
                ADD_FAILURE() << "t=" << t << ": (" << i % 320 << ", " << i / 320 << ") is " << std::hex
                              << real[i] << " not " << expected[i];
                break;
            }
    }
}

// At t = 51500 (s = 10300, inside the first window) the nearest depth reads map column 932. A
// lone 255 there stands 95 rows tall in green; the flat blue terrain behind it shows above it.
TEST_F(Voxel, NearestDepthReadsTheStatedColumnAndSurges) {
    flatMap(0);
    voxelmap[0 * 2048 + 932] = 255;
    const Frame f = draw(51500);
    expectStrip(f, 0, 195, 239, kGreen, "surging near bar");
    expectStrip(f, 0, 194, 194, kBlue, "farther terrain just above it");
    expectStrip(f, 1, 195, 239, kBlue, "the neighbouring strip has no peak");
}

// The surge compares t rounded down to 5 ms: for the window (51490, 51630) the bars grow from
// t = 51495 through t = 51629 only. A flat map of 255 shows it as the height of the nearest bar.
TEST_F(Voxel, SurgeFollowsTheTimeRoundedDownToFiveMilliseconds) {
    flatMap(0);
    auto peakTop = [](int32_t t) {
        voxelmap[(300000 - t / 5) % 2048] = 255;  // strip 0, nearest depth at this t
        const Frame f = draw(t);
        voxelmap[(300000 - t / 5) % 2048] = 0;
        int y = 0;
        while (f[y * 320] != kGreen) ++y;
        return y;
    };
    EXPECT_EQ(peakTop(51494), 227);
    EXPECT_EQ(peakTop(51495), 195);
    EXPECT_EQ(peakTop(51629), 195);
    EXPECT_EQ(peakTop(51630), 227);
    EXPECT_EQ(peakTop(51700), 227);  // between windows
}

// The farthest depth (d = 198) reads column 1130 at t = 51500. A peak there rises above the whole
// flat terrain in front of it, from row 34 (the highest any bar reaches) down to the nearer
// terrain's top, and not a row further: the nearer bars hide its lower part.
TEST_F(Voxel, FarthestDepthAndOcclusion) {
    flatMap(0);
    voxelmap[1 * 2048 + 1130] = 255;
    const Frame f = draw(51500);
    // Flat terrain of byte 0 surging: bars 7 rows tall, the farthest in front of the peak (d = 195)
    // has its top at 95 - 7 = 88.
    expectStrip(f, 1, 34, 87, kGreen, "far peak above the nearer terrain");
    expectStrip(f, 1, 88, 239, kBlue, "nearer terrain in front of the peak");
    expectStrip(f, 2, 88, 239, kBlue, "flat neighbour");
    for (int x = 5; x < 10; ++x) EXPECT_EQ(f[33 * 320 + x], skyAt(x, 33)) << x;
}

// Flat terrain of byte 0 without surge: every bar is 5 rows tall and they stack into one band
// from row 87 down; above it the sky, exactly, and nothing of the sky where terrain stands.
TEST_F(Voxel, SkyOnlyBehindTheTerrain) {
    flatMap(0);
    const Frame f = draw(51000);
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 320; ++x) {
            const uint32_t expected = y < 87 ? skyAt(x, y) : kBlue;
            ASSERT_EQ(f[y * 320 + x], expected) << "(" << x << ", " << y << ")";
        }
}

// Colour is 255 h + 255: green h, blue 255 - h; the height of a bar is not what sets it.
TEST_F(Voxel, ColoursFollowTheRawMapByte) {
    flatMap(128);
    const Frame f = draw(51000);
    EXPECT_EQ(f[239 * 320 + 100], 0x00807Fu);
    flatMap(255);
    EXPECT_EQ(draw(51000)[239 * 320 + 100], kGreen);
}
