// The picture scenes and credits: the helmet's wave line, the pan's offsets, the credit pages,
// the keyed credit picture and the hanging lines, checked against the real pictures, and the
// timeline windows that call them.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "2d/frame.h"
#include "assets/pictures.h"
#include "effects/effects.h"
#include "effects/tables.h"
#include "main/demo.h"

namespace {

constexpr uint32_t kMarker = 0x12345678;  // no scene draws this word
constexpr uint32_t kWave = 0xCCCCCC;

using Frame = std::vector<uint32_t>;

// Picture pixel (x, y) of a picture w pixels wide, packed as red << 16 | green << 8 | blue.
uint32_t pictureAt(const uint8_t* picture, int w, int x, int y) {
    const uint8_t* p = picture + 4 * (y * w + x);
    return p[0] * 65536u + p[1] * 256u + p[2];
}

Frame pictureFrame(const uint8_t* picture, int firstRow = 0) {
    Frame f(kPixels);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) f[y * kWidth + x] = pictureAt(picture, kWidth, x, y + firstRow);
    return f;
}

Frame draw(void (*effect)(uint32_t*, int32_t), int32_t t) {
    Frame f(kPixels, kMarker);
    effect(f.data(), t);
    return f;
}

struct Scenes : ::testing::Test {
    static void SetUpTestSuite() { initDemo(); }
};

}  // namespace

TEST_F(Scenes, HelmetWaveLineAtTheGivenTime) {
    const Frame helmetFrame = pictureFrame(helmet);
    const Frame f = draw(effect8, 8800);
    const std::pair<int, int> expected[] = {{73, 109}, {100, 100}, {156, 68}, {200, 96}, {233, 108}};
    for (auto [x, row] : expected) {
        EXPECT_EQ(f[row * kWidth + x], kWave) << "column " << x;
        for (int y = 0; y < kHeight; ++y) {
            if (y == row) continue;
            ASSERT_EQ(f[y * kWidth + x], helmetFrame[y * kWidth + x]) << x << "," << y;
        }
    }
}

// One light grey dot per column 73..233 within rows 67..134, the left end pinned to (73, 109),
// the helmet everywhere else: over many times, including large ones.
TEST_F(Scenes, HelmetWaveStaysInItsBand) {
    const Frame helmetFrame = pictureFrame(helmet);
    for (int32_t t = 8800; t < 17000; t += 97) {
        const Frame f = draw(effect8, t);
        ASSERT_EQ(f[109 * kWidth + 73], kWave) << "t=" << t;
        for (int i = 0; i < kPixels; ++i) {
            if (f[i] == helmetFrame[i]) continue;
            const int x = i % kWidth, y = i / kWidth;
            ASSERT_EQ(f[i], kWave) << "t=" << t;
            ASSERT_TRUE(x >= 73 && x <= 233 && y >= 67 && y <= 134) << "t=" << t << " " << x << "," << y;
        }
    }
    for (int32_t t : {0, 999, 1000000, 2147483647}) ASSERT_EQ(draw(effect8, t)[109 * kWidth + 73], kWave);
}

TEST_F(Scenes, PanOffsets) {
    // The reference frames must differ from one another for the offsets to mean anything.
    ASSERT_NE(pictureFrame(tall, 0), pictureFrame(tall, 1));
    ASSERT_NE(pictureFrame(tall, 239), pictureFrame(tall, 240));
    const std::pair<int32_t, int> cases[] = {{16500, 240}, {8700, 240}, {8699, 239}, {1530, 1},
                                             {1529, 0},    {1, 0},      {100000, 240}, {-5000, 0}};
    for (auto [u, firstRow] : cases) EXPECT_EQ(draw(effect6, u), pictureFrame(tall, firstRow)) << "u=" << u;
}

TEST_F(Scenes, CreditPagesCoverTheFrameWhateverTheTime) {
    const std::pair<void (*)(uint32_t*, int32_t), const uint8_t*> pages[] = {
        {quenor, cred_quenor}, {velmit, cred_velmit}, {orsadun, cred_orsadun},
        {fembrik, cred_fembrik}, {tessik, cred_tessik}};
    for (auto [page, picture] : pages) {
        const Frame expected = pictureFrame(picture);
        for (int32_t t : {0, 99000, -1}) ASSERT_EQ(draw(page, t), expected) << "t=" << t;
    }
}

TEST_F(Scenes, KeyedCreditSkipsPureBlackOnly) {
    Frame f(kPixels);
    for (int i = 0; i < kPixels; ++i) f[i] = 0x01000000u + i;  // every pixel distinct
    const Frame before = f;
    effect1(f.data(), 0);
    int kept = 0;
    for (int i = 0; i < kPixels; ++i) {
        const uint8_t* p = cred_quenor + 4 * i;
        if (p[0] == 0 && p[1] == 0 && p[2] == 0) {
            ASSERT_EQ(f[i], before[i]) << "pixel " << i;
            ++kept;
        } else {
            ASSERT_EQ(f[i], pictureAt(cred_quenor, kWidth, i % kWidth, i / kWidth)) << "pixel " << i;
        }
    }
    EXPECT_GT(kept, 0);
    EXPECT_LT(kept, kPixels);
}

// The lines hang from row 1; beyond a side edge they wrap onto the neighbouring row but never
// leave the frame, and they draw over what is there without clearing it.
TEST_F(Scenes, HangingLinesStayInTheFrame) {
    constexpr int kGuard = 2 * kWidth;
    for (int32_t t = 0; t < 200000; t += 1237) {
        std::vector<uint32_t> words(kPixels + 2 * kGuard, kMarker);
        uint32_t* frame = words.data() + kGuard;
        effect3(frame, t);
        int white = 0;
        for (int i = -kGuard; i < kPixels + kGuard; ++i) {
            if (frame[i] == kMarker) continue;
            ASSERT_EQ(frame[i], 0xFFFFFFu);
            ASSERT_GE(i, 1 * kWidth - 4) << "t=" << t;
            ASSERT_LE(i, 226 * kWidth + 322) << "t=" << t;
            ++white;
        }
        ASSERT_GT(white, 400) << "t=" << t;
        const int s = sine[(t / 40) % 1000] >> 2;
        ASSERT_EQ(frame[kWidth + 160 + s], 0xFFFFFFu) << "every line starts at column 160 + s";
    }
}

TEST_F(Scenes, TimelineCallsThePictureScenes) {
    Frame f(kPixels, kMarker);
    doDemoAt(f.data(), 8800);
    EXPECT_EQ(f, draw(effect8, 8800));
    doDemoAt(f.data(), 16999);
    EXPECT_EQ(f, draw(effect8, 16999));
    doDemoAt(f.data(), 34500);
    EXPECT_EQ(f, draw(effect6, 16500));
    doDemoAt(f.data(), 50999);
    EXPECT_EQ(f, draw(effect6, 1));
}

TEST_F(Scenes, TimelineFlashesTheCreditsOverBlack) {
    const Frame black(kPixels, 0);
    const std::pair<int32_t, const uint8_t*> shown[] = {
        {99000, cred_quenor},   {99199, cred_quenor},   {99800, cred_velmit},  {99999, cred_velmit},
        {100200, cred_orsadun}, {100399, cred_orsadun}, {101100, cred_fembrik}, {101299, cred_fembrik},
        {101600, cred_tessik},  {101799, cred_tessik}};
    Frame f(kPixels, kMarker);
    for (auto [t, picture] : shown) {
        std::fill(f.begin(), f.end(), kMarker);
        doDemoAt(f.data(), t);
        ASSERT_EQ(f, pictureFrame(picture)) << "t=" << t;
    }
    for (int32_t t : {99200, 99799, 100000, 100400, 101300, 101800, 102249}) {
        std::fill(f.begin(), f.end(), kMarker);
        doDemoAt(f.data(), t);
        ASSERT_EQ(f, black) << "t=" << t;
    }
}
