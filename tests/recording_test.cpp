// recording_test.cpp: the judgement of a recorded run where its own arithmetic decides, on
// recordings made up here from a song of noise: a pause's silence and where the song goes on.
#include <gtest/gtest.h>

#include <random>

#include "recording.h"

using namespace recording;

namespace {

// Three seconds of noise, never an exact zero, as a mono song.
std::vector<float> noiseSong() {
    std::mt19937 random(7);
    std::uniform_int_distribution<int> sample(1, 3000);
    std::vector<float> song(3 * kRate);
    for (float& s : song) s = float(random() % 2 ? sample(random) : -sample(random));
    return song;
}

// The song to `stop`, two seconds of silence, then the song from `goOn`, with the probe after the
// silence that finds it.
struct Heard {
    std::vector<float> heard;
    std::vector<Probe> probes;
};
Heard pausedAt(const std::vector<float>& song, long stop, long goOn) {
    Heard h;
    h.heard.assign(song.begin(), song.begin() + stop);
    h.heard.resize(stop + 2 * kRate, 0.0f);
    h.heard.insert(h.heard.end(), song.begin() + goOn, song.end());
    const long after = stop + 2 * kRate + kRate / 4;
    h.probes.push_back({after, Probe::song, goOn + kRate / 4 - after});
    return h;
}

}  // namespace

TEST(PauseHeard, FoundWhereverThePauseWasLoggedAndTheSongGoesOnWhereItStopped) {
    const std::vector<float> song = noiseSong();
    const long stop = kRate;
    const Heard h = pausedAt(song, stop, stop);
    // The pause's moment as logged: before its silence (a player with a long queue), and after the
    // silence began (a player that stops within a cycle, sooner than the frame that logs the key).
    for (const long logged : {stop - kRate / 10, stop, stop + kRate / 200, stop + long(kRate) / 20}) {
        const PauseHeard p = findPause(h.heard, song, h.probes, logged, stop + 2 * kRate + kRate / 2);
        EXPECT_EQ(p.from, stop) << "logged at " << logged;
        EXPECT_EQ(p.to, stop + 2 * kRate) << "logged at " << logged;
        EXPECT_NEAR(p.resumedMs, 0, 0.05) << "logged at " << logged;
    }
}

TEST(PauseHeard, SaysHowMuchOfTheSongWasPlayedTwiceOrLost) {
    const std::vector<float> song = noiseSong();
    const long stop = kRate;
    for (const long shift : {-long(kRate) / 10, -100L, 100L, long(kRate) / 20}) {
        const Heard h = pausedAt(song, stop, stop + shift);
        const PauseHeard p = findPause(h.heard, song, h.probes, stop + 100, stop + 2 * kRate + kRate / 2);
        EXPECT_NEAR(p.resumedMs, shift * 1000.0 / kRate, 0.05) << "going on " << shift << " frames from where it stopped";
    }
}

TEST(PauseHeard, NoneWithoutTheRecordingAroundIt) {
    const std::vector<float> song = noiseSong();
    const Heard h = pausedAt(song, kRate / 20, kRate / 20);  // too little of the song before the silence
    EXPECT_EQ(findPause(h.heard, song, h.probes, kRate / 20, 3 * kRate).from, -1);
}
