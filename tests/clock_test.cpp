// The clock scene: whole frames against the slow reference rasterizer with the dials' corners
// written out, the upright dials' texels over the background, and the dials standing still
// between marks.
#include <gtest/gtest.h>

#include <vector>

#include "assets/pictures.h"
#include "effects/effects.h"
#include "main/demo.h"
#include "raster_reference.h"

namespace {

struct Corner {
    int x, y;
};

struct DialPose {
    Corner q1, q2, q3, q4;
};

constexpr int kBigLo = 5, kBigHi = 250, kSmallLo = 5, kSmallHi = 180;
const DialPose kBigUpright = {{36, 36}, {164, 36}, {36, 164}, {164, 164}};
const DialPose kSmallUpright = {{158, 108}, {222, 108}, {158, 172}, {222, 172}};

uint32_t background(int x, int y) {
    const uint8_t* p = &klockz[4 * (y * 320 + x)];
    return (uint32_t(p[0]) << 16) | (uint32_t(p[1]) << 8) | p[2];
}

// Every channel one step darker, as a texel of alpha 0 leaves it.
uint32_t darker(uint32_t c) {
    uint32_t out = 0;
    for (int shift : {0, 8, 16}) {
        const uint32_t f = (c >> shift) & 0xFF;
        out |= (f == 0 ? 0 : f - 1) << shift;
    }
    return out;
}

void drawDial(std::vector<uint32_t>& frame, const Texture& tex, const DialPose& p, int lo, int hi) {
    const Coordinate q1 = mobInt2Coordinate(p.q1.x, p.q1.y, lo, lo);
    const Coordinate q2 = mobInt2Coordinate(p.q2.x, p.q2.y, hi, lo);
    const Coordinate q3 = mobInt2Coordinate(p.q3.x, p.q3.y, lo, hi);
    const Coordinate q4 = mobInt2Coordinate(p.q4.x, p.q4.y, hi, hi);
    const Coordinate first[3] = {q1, q2, q3}, second[3] = {q2, q3, q4};
    ref::texturedTriangle(frame, tex, first);
    ref::texturedTriangle(frame, tex, second);
}

struct ClockScene : ::testing::Test {
    static void SetUpTestSuite() { initDemo(); }

    static std::vector<uint32_t> render(int32_t t) {
        std::vector<uint32_t> frame(320 * 240, 0x55555555u);  // the scene must cover it all
        effect10(frame.data(), t);
        return frame;
    }

    // The background, then both dials in their poses, drawn by the reference.
    static std::vector<uint32_t> expected(const DialPose& big, const DialPose& small) {
        std::vector<uint32_t> frame(320 * 240);
        for (int y = 0; y < 240; ++y)
            for (int x = 0; x < 320; ++x) frame[y * 320 + x] = background(x, y);
        drawDial(frame, fx101, big, kBigLo, kBigHi);
        drawDial(frame, fx102, small, kSmallLo, kSmallHi);
        return frame;
    }

    static void expectPoses(int32_t t, const DialPose& big, const DialPose& small) {
        const std::vector<uint32_t> got = render(t), want = expected(big, small);
        for (int i = 0; i < 320 * 240; ++i)
            if (got[i] != want[i]) {
                ADD_FAILURE() << "t=" << t << ": pixel (" << i % 320 << ", " << i / 320 << ") is 0x" << std::hex
                              << got[i] << ", want 0x" << want[i];
                return;
            }
    }
};

}  // namespace

TEST_F(ClockScene, BothDialsUprightAtTheStart) {
    expectPoses(0, kBigUpright, kSmallUpright);
    expectPoses(1080, kBigUpright, kSmallUpright);  // the first mark, not yet passed
}

TEST_F(ClockScene, BigDialsFirstStep) {
    const DialPose big = {{86, 10}, {189, 85}, {11, 113}, {114, 188}};  // n = 101
    expectPoses(1081, big, kSmallUpright);
    expectPoses(1500, big, kSmallUpright);
    expectPoses(2140, big, kSmallUpright);
}

TEST_F(ClockScene, SmallDialStartsTurningAfter4350) {
    const DialPose big = {{189, 115}, {84, 188}, {116, 10}, {11, 83}};  // n = 404
    expectPoses(4350, big, kSmallUpright);
    expectPoses(4351, big, {{170, 98}, {231, 119}, {149, 159}, {210, 180}});  // n = 52
    expectPoses(5000, big, {{184, 94}, {235, 133}, {145, 145}, {196, 184}});  // n = 104
}

TEST_F(ClockScene, DialsRestAfterTheirLastMarks) {
    const DialPose big = {{56, 178}, {22, 55}, {179, 144}, {145, 21}};      // n = 707
    const DialPose small = {{205, 181}, {148, 154}, {232, 124}, {175, 97}};  // n = 572
    expectPoses(8341, big, small);
    expectPoses(8799, big, small);
}

TEST_F(ClockScene, DialsStandStillBetweenMarks) {
    EXPECT_EQ(render(1081), render(2140));
    EXPECT_EQ(render(7541), render(7950));  // big dial at rest, small dial between two marks
    EXPECT_NE(render(7950), render(7951));
}

TEST_F(ClockScene, UprightDialsShowTheirTexelsOverTheBackground) {
    // Upright, a dial's texel steps are exact: column i of the square samples texel
    // lo + floor(i * (hi - lo) / size). Transparent texels leave the background one step darker,
    // opaque grey ones show one step below their own grey.
    const std::vector<uint32_t> frame = render(0);
    struct Square {
        const uint8_t* picture;
        int width, x0, y0, size, lo, hi;
        int otherX0, otherY0, otherSize;  // the other dial's square, left out
    };
    const Square squares[] = {{klocka1, 256, 36, 36, 128, kBigLo, kBigHi, 158, 108, 64},
                              {klocka2, 185, 158, 108, 64, kSmallLo, kSmallHi, 36, 36, 128}};
    for (const Square& s : squares) {
        int transparent = 0, opaque = 0;
        for (int j = 0; j <= s.size; ++j)
            for (int i = 0; i <= s.size; ++i) {
                const int x = s.x0 + i, y = s.y0 + j;
                const bool inOther = x >= s.otherX0 && x <= s.otherX0 + s.otherSize && y >= s.otherY0 &&
                                     y <= s.otherY0 + s.otherSize;
                if (inOther || i + j == s.size) continue;  // overlap, or the diagonal blended twice
                const int u = s.lo + i * (s.hi - s.lo) / s.size, v = s.lo + j * (s.hi - s.lo) / s.size;
                const uint8_t* texel = &s.picture[4 * (v * s.width + u)];
                const uint32_t got = frame[y * 320 + x];
                if (texel[3] == 0) {
                    ASSERT_EQ(got, darker(background(x, y))) << "transparent texel at (" << x << ", " << y << ")";
                    ++transparent;
                } else if (texel[3] == 255 && texel[0] > 0) {
                    ASSERT_EQ(got, (texel[0] - 1u) * 0x010101u) << "opaque texel at (" << x << ", " << y << ")";
                    ++opaque;
                }
            }
        EXPECT_GT(transparent, s.size * s.size / 10);  // the dials' surroundings are transparent
        EXPECT_GT(opaque, s.size * s.size / 10);
    }
}

TEST_F(ClockScene, TheTimelineDrawsItForTheFirst8800Milliseconds) {
    for (int32_t t : {0, 5000, 8799}) {
        std::vector<uint32_t> frame(320 * 240, 0x55555555u);
        doDemoAt(frame.data(), t);
        EXPECT_EQ(frame, render(t)) << t;
    }
}

TEST(ClockConversions, TheEffectsCopiesAgreeWithTheRasterizers) {
    for (int i = -40000; i <= 40000; i += 7) {
        ASSERT_EQ(favorit2(i), mobInt2Fixed(i)) << i;
        const Coordinate a = favorit(i, i + 1, i + 2, -i), b = mobInt2Coordinate(i, i + 1, i + 2, -i);
        ASSERT_TRUE(a.x == b.x && a.y == b.y && a.u == b.u && a.v == b.v) << i;
    }
}
