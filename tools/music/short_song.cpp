// short_song.cpp: a few seconds of beat and chords that end by themselves, for the show's tests.
#include "score.h"
#include "song.h"
#include "synth.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr int kShortBpm = 125;  // 882-frame ticks at 44,100 Hz: exactly 0.12 s a row
constexpr double kShortRowSeconds = 0.12;
enum : int { kChKick, kChHat, kChClap, kChBass, kChPad, kChPluck, kShortChannels };
}  // namespace

XmModule composeShort(double seconds) {
    XmModule m;
    m.name = "musa short";
    m.speed = 6;
    m.bpm = kShortBpm;
    m.instruments = makeInstruments();
    const int rows = std::max(1, int(std::lround(seconds / kShortRowSeconds)));
    Score s(kShortChannels, rows);
    const uint8_t roots[4] = {note(9, 2), note(5, 2), note(0, 3), note(7, 2)};  // Am F C G
    for (int r = 0; r < rows; ++r) {
        const int step = r % 16, bar = (r / 16) % 4;
        if (step % 4 == 0) s.play(r, kChKick, kC4, kKick, 60);
        if (step % 4 == 2) s.play(r, kChHat, kC4, kHatClosed, 40);
        if (step == 4 || step == 12) s.play(r, kChClap, kC4, kClap, 50);
        if (step % 4 != 1) s.play(r, kChBass, roots[bar], kBass, step % 4 == 0 ? 56 : 44);
        if (step == 0) s.play(r, kChPad, uint8_t(roots[bar] + 24), kPad, 40);
        if (step % 2 == 0) s.play(r, kChPluck, uint8_t(roots[bar] + 36 + (step % 8 == 4 ? 7 : step % 8 == 2 ? 3 : 0)), kPluck, 30);
    }
    for (int ch = kChBass; ch <= kChPad; ++ch) s.release(rows - 1, ch);
    scoreToModule(s, {}, m);
    return m;
}
