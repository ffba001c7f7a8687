// The picture scenes and credits: the helmet's wave line, the pan's offsets, the credit pages,
// the keyed credit picture and the hanging lines, checked against the real pictures, and the
// timeline windows that call them.
#include <gtest/gtest.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "2d/frame.h"
#include "assets/pictures.h"
#include "effects/effects.h"
#include "effects/tables.h"
#include "demo/demo.h"
#include "raster_reference.h"

namespace {

constexpr uint32_t kMarker = 0x12345678;  // no scene draws this word
constexpr uint32_t kWave = 0xCCCCCC;

using Frame = std::vector<uint32_t>;
using Scene = void (*)(uint32_t*, int32_t);

// One screen of a picture from row firstRow on, packed as red << 16 | green << 8 | blue.
Frame pictureFrame(const uint8_t* picture, int firstRow = 0) {
    Frame f(kPixels);
    for (int i = 0; i < kPixels; ++i) f[i] = ref::rgb(picture + 4 * (firstRow * kWidth + i));
    return f;
}

struct Scenes : ::testing::Test { static void SetUpTestSuite() { initDemo(); } };

}  // namespace

// The stated rows at t = 8800; at every time at most one grey dot per column 73..233, within rows
// 67..134, the left end pinned to (73, 109), the helmet everywhere else; large times included.
TEST_F(Scenes, HelmetWaveLine) {
    const Frame at8800 = ref::drawn(effect8, 8800), helmetFrame = pictureFrame(helmet);
    for (auto [x, y] : {std::pair{73, 109}, {100, 100}, {156, 68}, {200, 96}, {233, 108}})
        EXPECT_EQ(at8800[y * kWidth + x], kWave) << "column " << x;
    std::vector<int32_t> times = {0, 999, 1000000, 2147483647};
    for (int32_t t = 8800; t < 17000; t += 97) times.push_back(t);
    for (int32_t t : times) {
        const Frame f = ref::drawn(effect8, t);
        ASSERT_EQ(f[109 * kWidth + 73], kWave) << "t=" << t;
        std::vector<int> dots(kWidth, 0);
        for (int i = 0; i < kPixels; ++i) {
            const int x = i % kWidth, y = i / kWidth;
            ASSERT_TRUE(f[i] == helmetFrame[i] ||
                        (f[i] == kWave && x >= 73 && x <= 233 && y >= 67 && y <= 134 && ++dots[x] == 1))
                << "t=" << t << " at " << x << "," << y;
        }
    }
}

TEST_F(Scenes, PanOffsets) {
    const std::pair<int32_t, int> cases[] = {{16500, 240}, {8700, 240}, {8699, 239}, {1530, 1},
                                             {1529, 0},    {1, 0},      {100000, 240}, {-5000, 0}};
    for (auto [u, firstRow] : cases) EXPECT_EQ(ref::drawn(effect6, u), pictureFrame(tall, firstRow)) << "u=" << u;
}

TEST_F(Scenes, CreditPagesCoverTheFrameWhateverTheTime) {
    const std::pair<Scene, const uint8_t*> pages[] = {{quenor, cred_quenor}, {velmit, cred_velmit},
        {orsadun, cred_orsadun}, {fembrik, cred_fembrik}, {tessik, cred_tessik}};
    for (auto [page, picture] : pages)
        for (int32_t t : {0, 99000, -1}) ASSERT_EQ(ref::drawn(page, t), pictureFrame(picture)) << "t=" << t;
}

TEST_F(Scenes, KeyedCreditSkipsPureBlackOnly) {
    Frame f(kPixels);
    for (int i = 0; i < kPixels; ++i) f[i] = 0x01000000u + i;  // every pixel distinct
    effect1(f.data(), 0);
    const Frame page = pictureFrame(cred_quenor);
    for (int i = 0; i < kPixels; ++i)
        ASSERT_EQ(f[i], page[i] == 0 ? 0x01000000u + i : page[i]) << "pixel " << i;
}

// The lines hang from row 1; beyond a side edge they wrap onto the neighbouring row but never
// leave the frame, and they draw over what is there without clearing it.
TEST_F(Scenes, HangingLinesStayInTheFrame) {
    for (int32_t t = 0; t < 200000; t += 1237) {
        std::vector<uint32_t> words(kPixels + 4 * kWidth, kMarker);  // two rows of guard each side
        uint32_t* frame = words.data() + 2 * kWidth;
        effect3(frame, t);
        for (int i = -2 * kWidth; i < kPixels + 2 * kWidth; ++i)
            ASSERT_TRUE(frame[i] == kMarker || (frame[i] == 0xFFFFFF && i >= kWidth - 4 && i < 227 * kWidth + 3))
                << "t=" << t << " word " << i;
        const int s = sine[(t / 40) % 1000] >> 2;
        ASSERT_EQ(frame[kWidth + 160 + s], 0xFFFFFFu) << "t=" << t << ": every line starts at column 160 + s";
    }
}
