// The radial blur against a slow per-channel reference of its four in-place passes (a centre outside
// the frame and odd shifts included), and the radial-blur scene frame after frame against a reference.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "2d/frame.h"
#include "assets/pictures.h"
#include "effects/effects.h"
#include "effects/tables.h"
#include "demo/demo.h"
#include "raster_reference.h"

namespace {

using Frame = std::vector<uint32_t>;

// Straight from the description: pixel after pixel in the visiting order of the four passes, each
// the per-channel truncated mean of itself and its source, 1 / 2^s of the way to the centre.
void referenceBlur(Frame& f, int cx, int cy, int s) {
    auto source = [s](int v, int c) { return v <= c ? v + ((c - v) >> s) : v - ((v - c) >> s); };
    auto visit = [&](int x, int y) {
        const uint32_t p = f[y * 320 + x], q = f[source(y, cy) * 320 + source(x, cx)];
        uint32_t out = 0;
        for (int shift : {16, 8, 0}) out |= (((p >> shift & 255) + (q >> shift & 255)) / 2) << shift;
        f[y * 320 + x] = out;
    };
    for (int y = cy; y >= 0; --y) for (int x = cx; x >= 0; --x) visit(x, y);          // upper left
    for (int y = cy; y >= 0; --y) for (int x = cx + 1; x <= 319; ++x) visit(x, y);     // upper right
    for (int y = cy + 1; y <= 239; ++y) for (int x = cx; x >= 0; --x) visit(x, y);     // lower left
    for (int y = cy + 1; y <= 239; ++y) for (int x = cx + 1; x <= 319; ++x) visit(x, y);  // lower right
}

// RadialBlur(cx, cy, s) over noise, top byte included, against the reference with (refCx, refCy, refS).
void expectBlur(int cx, int cy, int s, int refCx, int refCy, int refS) {
    Frame real(kPixels);
    uint32_t seed = uint32_t(cx) * 7919u + uint32_t(cy) * 31u + uint32_t(s);
    for (auto& p : real) p = seed = seed * 1664525u + 1013904223u;
    Frame expected = real;
    RadialBlur(real.data(), cx, cy, s);
    referenceBlur(expected, refCx, refCy, refS);
    EXPECT_EQ(ref::firstDifference(real, expected), "") << "centre " << cx << "," << cy << " shift " << s;
}

int dotX(int32_t t, int j, int i) { return 160 + (sine[(150 * j + 2 * i + t * j / 8) % 1000] >> 2); }
int dotY(int32_t t, int j, int i) { return 54 + (cose[(150 * j + 2 * i + t * j / 4) % 1000] >> 3); }
int blurCentreAt(int32_t t) { return 160 + (sine[(t / 8 + 400) % 1000] >> 1); }

// The whole scene from its description: dots, the reference blur, the stamp (grey when lit).
void referenceScene(Frame& f, int32_t t, bool lit) {
    for (int j = 1; j <= 5; ++j)
        for (int i = 0; i < 50; ++i) {
            const int at = dotY(t, j, i) * 320 + dotX(t, j, i);
            f[at] = f[at + (j % 2 == 0 ? 1 : 320)] = j % 2 == 0 ? 0x22FFFF : 0xFF22FF;
        }
    referenceBlur(f, blurCentreAt(t), 5, 4);
    for (int y = 50; y <= 239; ++y)
        for (int x = 80; x <= 259; ++x)
            if (silhouette[4 * (y * 320 + x) + 2] != 0) f[y * 320 + x] = lit ? 0x999999 : 0;
}

}  // namespace

TEST(RadialBlur, MatchesTheFourPassReferenceWithArgumentsClamped) {
    const int centres[][2] = {{160, 5}, {32, 5}, {287, 5}, {0, 0}, {319, 239}, {0, 239},
                              {319, 0}, {200, 120}, {1, 238}};
    for (const auto& c : centres)  // shift 0: every pixel is averaged with the centre row or column
        for (int s : {0, 1, 2, 3, 4, 6, 8, 9}) expectBlur(c[0], c[1], s, c[0], c[1], s);
    // A centre outside the frame is clamped onto its nearest edge, the shift into 0 .. 31.
    const int clamped[][6] = {{-50, 5, 4, 0, 5, 4},     {400, 5, 4, 319, 5, 4},    {160, -1, 4, 160, 0, 4},
                            {160, 1000, 4, 160, 239, 4}, {-2147483647 - 1, 2147483647, 2, 0, 239, 2},
                            {160, 5, -3, 160, 5, 0},  {160, 5, 1000, 160, 5, 31}};
    for (const auto& c : clamped) expectBlur(c[0], c[1], c[2], c[3], c[4], c[5]);
}

// Frame after frame from the black before the scene, each built on the one before, across the
// first sync window's edges (68520 .. 68660) and others: the stamp is grey only strictly inside.
TEST(RadialScene, FramesMatchTheReferenceAcrossSyncWindows) {
    initDemo();
    // The reference's reading against the stated centres and first dots of chains 1 and 2.
    EXPECT_EQ(std::vector({blurCentreAt(70000), blurCentreAt(68500), dotX(70000, 1, 0), dotY(70000, 1, 0),
                           dotX(70000, 2, 0), dotY(70000, 2, 0)}),
              std::vector({263, 130, 122, 35, 99, 44}));
    const std::pair<int32_t, bool> frames[] = {
        {68500, false}, {68517, false}, {68520, false}, {68521, true},  {68538, true},  {68659, true},
        {68660, false}, {68661, false}, {70000, false}, {71000, false}, {71400, true},  {85279, true},
        {85280, false}, {85299, false}};
    Frame real(kPixels, 0), expected(kPixels, 0);
    for (const auto& [t, lit] : frames) {
        effect7(real.data(), t);
        referenceScene(expected, t, lit);
        EXPECT_EQ(ref::firstDifference(real, expected), "") << "t=" << t;
    }
}
