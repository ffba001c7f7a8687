// The real show as a desktop user gets it: against a private PulseAudio server with a null sink
// whose monitor is recorded, with a preload that logs every flip. The frame rate against a run
// with SDL's dummy audio, picture against sound at five scene cuts, and Ctrl+C and SIGTERM.
#include <gtest/gtest.h>
#include <mikmod.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <thread>

#include "flip_log.h"
#include "process.h"

namespace fs = std::filesystem;

namespace {

constexpr int kRate = 44100;
// Scene cuts whose music has a clear onset: the helmet, the stripes and logo, the pan, the voxel
// landscape, the plasma warp. The show must run past the last one.
constexpr int32_t kCuts[] = {8800, 17000, 34500, 51000, 59600};
constexpr double kDummySeconds = 13;
constexpr double kRateFrom = 2, kRateTo = 12;  // the stretch of each run whose frames are counted
constexpr double kTolerance = 20, kMedianTolerance = 10;  // milliseconds
constexpr int kClickFrames = kRate / 20;
constexpr long kAround = kRate / 5;  // the song around a cut, before and after it, that is looked for
constexpr long kSlipSeconds = 5;  // how far the song may fall behind in the recording from cut to cut
constexpr double kMatch = 0.9;  // the normalised correlation that counts as the song found
const std::string kPcm = "--raw --format=s16le --rate=44100 --channels=2 --latency-msec=";

void sleepFor(double seconds) { std::this_thread::sleep_for(std::chrono::duration<double>(seconds)); }

// A file's whole content as records of type T.
template <typename T>
std::vector<T> readRecords(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<T> records;
    for (T r; in.read(reinterpret_cast<char*>(&r), sizeof r);) records.push_back(r);
    return records;
}

// 16-bit stereo frames as one mono sum per frame.
std::vector<float> readMono(const std::string& path) {
    std::vector<float> mono;
    const std::vector<int16_t> samples = readRecords<int16_t>(path);
    for (size_t i = 0; i + 1 < samples.size(); i += 2) mono.push_back(float(samples[i]) + samples[i + 1]);
    return mono;
}

// The first place in [from, to) where `pattern` matches `signal` with a normalised correlation
// (1 for an exact copy up to scale) of at least kMatch over every 8th frame of the pattern; then
// the best start just there over every frame, and its correlation. A later repeat of the same bars
// can match as well, so the first match wins, not the best.
std::pair<long, double> firstMatch(const std::vector<float>& signal, const std::vector<float>& pattern,
                                   long from, long to) {
    const auto score = [&](long start, size_t step) {
        double dot = 0, energy = 0, patternEnergy = 0;
        for (size_t i = 0; i < pattern.size(); i += step) {
            dot += double(signal[start + i]) * pattern[i];
            energy += double(signal[start + i]) * signal[start + i];
            patternEnergy += double(pattern[i]) * pattern[i];
        }
        return dot / std::sqrt(patternEnergy * energy + 1);
    };
    const long last = std::min(to, long(signal.size()) - long(pattern.size()) - 16);
    for (long start = std::max(0L, from); start < last; ++start) {
        if (score(start, 8) < kMatch) continue;
        std::pair<long, double> best{start, score(start, 1)};
        for (long s = start + 1; s < start + 16; ++s)
            if (const double c = score(s, 1); c > best.second) best = {s, c};
        return best;
    }
    return {-1, 0};
}

// The show's song as libmikmod's raw disk writer renders it with the show's settings.
std::vector<float> renderSong(const std::string& raw, double seconds) {
    MikMod_RegisterDriver(&drv_raw);
    MikMod_RegisterAllLoaders();
    md_mode |= DMODE_SOFT_MUSIC;
    md_device = 1;
    if (MikMod_Init(("file=" + raw).c_str()) != 0) return {};
    if (MODULE* module = Player_Load(SHOW_ASSETS "/musa.xm", 64, 0)) {
        Player_Start(module);
        for (long bytes = 0; Player_Active() && bytes < long(seconds * kRate * 4); bytes += 32768) MikMod_Update();
        Player_Stop();
        Player_Free(module);
    }
    MikMod_Exit();
    return readMono(raw);
}

long distance(const FlipRecord& a, const FlipRecord& b) {
    long d = 0;
    for (int i = 0; i < kFlipGrid * kFlipGrid; ++i)
        for (int shift : {0, 8, 16}) d += std::abs(int(a.pixels[i] >> shift & 0xFF) - int(b.pixels[i] >> shift & 0xFF));
    return d;
}

// A burst of noise written into the sink with pacat, the same each time; returns the wall time of the write.
double playClick(std::vector<float>& click) {
    std::vector<int16_t> frames;
    std::minstd_rand noise(12345);
    click.clear();
    for (int i = 0; i < kClickFrames; ++i) {
        const int16_t v = int16_t(int(noise() % 32768) - 16384);
        frames.insert(frames.end(), {v, v});
        click.push_back(2.0f * v);
    }
    FILE* pacat = popen(("pacat " + kPcm + "20").c_str(), "w");
    sleepFor(0.5);  // connected, waiting for data
    const double written = monotonicSeconds();
    fwrite(frames.data(), 2, frames.size(), pacat);
    pclose(pacat);
    return written;
}

struct ShowRun {
    ProcessResult result;
    double stopSeconds = 0;  // from the signal to the exit
    std::vector<FlipRecord> flips;
    double framesPerSecond = 0;  // from kRateFrom to kRateTo seconds after the start
};

// The real show with the real song, flips logged, ended by `signal` once `done` holds for the
// latest flip, looked at from `least` seconds on, or after `most` seconds.
template <typename Done>
ShowRun runShow(const std::string& log, std::vector<std::string> env, double least, double most, int signal, Done done) {
    env.insert(env.end(), {"LD_PRELOAD=" FLIP_LOG_LIBRARY, "SHOW_FLIP_LOG=" + log, "SDL_VIDEODRIVER=dummy"});
    ShowRun run;
    const double started = monotonicSeconds();
    Process show = startProcess({SHOW_BINARY}, {SHOW_ASSETS, env, {"DISPLAY", "SDL_AUDIODRIVER", "SDL12COMPAT_SYNC_TO_VBLANK"}});
    sleepFor(least);
    for (FlipRecord last; monotonicSeconds() < started + most; sleepFor(0.1)) {  // the latest flip alone
        std::ifstream in(log, std::ios::binary);
        if (in.seekg(-std::streamoff(sizeof last), std::ios::end).read(reinterpret_cast<char*>(&last), sizeof last) && done(last)) break;
    }
    const double signalled = monotonicSeconds();
    run.result = stopProcess(show, signal);
    run.stopSeconds = monotonicSeconds() - signalled;
    run.flips = readRecords<FlipRecord>(log);
    run.framesPerSecond = std::count_if(run.flips.begin(), run.flips.end(), [&](const FlipRecord& f) {
        return f.nanoseconds * 1e-9 >= started + kRateFrom && f.nanoseconds * 1e-9 < started + kRateTo;
    }) / (kRateTo - kRateFrom);
    return run;
}

}  // namespace

TEST(Playback, PictureAndSoundStayTogetherAndSignalsEndTheShow) {
    // A private PulseAudio server: its own folder, socket, runtime, state and cookie (which the first
    // client makes), one null sink, the default as the only one.
    const TempFolder temp;
    const std::string folder = temp.path, socket = folder + "/native";
    for (const auto& [name, value] : {std::pair{"PULSE_SERVER", "unix:" + socket}, {"PULSE_RUNTIME_PATH", folder + "/runtime"},
                                      {"PULSE_STATE_PATH", folder + "/state"}, {"PULSE_COOKIE", folder + "/cookie"}})
        setenv(name, value.c_str(), 1);
    Background server({"/usr/bin/pulseaudio", "-n", "--daemonize=no", "--exit-idle-time=-1", "--use-pid-file=no",
                       "--log-level=error", "--disable-shm=yes", "-L", "module-null-sink sink_name=show rate=44100 channels=2",
                       "-L", "module-native-protocol-unix auth-anonymous=1 socket=" + socket}, {"", {"HOME=" + folder}, {}});
    for (int i = 0; i < 200 && !fs::exists(socket); ++i) sleepFor(0.05);
    ASSERT_TRUE(fs::exists(socket)) << "PulseAudio did not start (are pulseaudio and pulseaudio-utils installed?)";

    // Reference pictures just before and at each cut, drawn by the renderer.
    std::string times;
    for (int32_t cut : kCuts) times += std::to_string(cut - 1) + "," + std::to_string(cut) + ",";
    times.pop_back();
    const ProcessResult drawn = runProcess({RENDER_BINARY, "--times", times, "--format", "raw", "--out", folder + "/refs"});
    ASSERT_EQ(drawn.status, 0) << drawn.output;
    std::map<int32_t, FlipRecord> grids;
    for (int32_t cut : kCuts)
        for (int32_t t : {cut - 1, cut}) {
            std::vector<uint32_t> frame = readRecords<uint32_t>(folder + "/refs/" + std::to_string(t) + ".raw");
            frame.resize(320 * 240);
            grids[t] = sampleGrid(frame.data(), 320 * 4);
        }
    // Whether a flip shows the scene that begins at the cut rather than the one that ends there.
    const auto showsSceneAt = [&](int32_t cut, const FlipRecord& f) {
        return distance(f, grids[cut]) < distance(f, grids[cut - 1]);
    };

    // Record the monitor; a click of known wall time ties the recording to the wall clock. A
    // stream of silence keeps the sink running, so the recording has no holes between sounds.
    Background silence({"/bin/sh", "-c", "exec pacat " + kPcm + "20 < /dev/zero"});
    const std::string recording = folder + "/monitor.raw";
    Background recorder({"/bin/sh", "-c", "exec parec " + kPcm + "5 -d show.monitor " + recording});
    for (int i = 0; i < 200 && (!fs::exists(recording) || fs::file_size(recording) == 0); ++i) sleepFor(0.05);
    sleepFor(0.2);
    std::vector<float> click;
    double clickWalls[2] = {playClick(click), 0};
    sleepFor(0.3);

    // Past the last cut: a second after its scene first shows (later than the song's time when the
    // device has fallen behind).
    double lastCutShown = 0;
    const ShowRun pulse = runShow(folder + "/pulse", {}, kCuts[4] / 1000.0, kCuts[4] / 1000.0 + 20, SIGINT, [&](const FlipRecord& f) {
        if (!showsSceneAt(kCuts[4], f)) return false;
        if (lastCutShown == 0) lastCutShown = monotonicSeconds();
        return monotonicSeconds() > lastCutShown + 1;
    });
    sleepFor(0.3);
    clickWalls[1] = playClick(click);  // after the show, for the recording's pace
    stopProcess(recorder, SIGINT);
    stopProcess(silence);
    // The same show with SDL's dummy audio and no sound server to be found.
    const ShowRun dummy = runShow(folder + "/dummy", {"SDL_AUDIODRIVER=dummy", "PULSE_SERVER=unix:" + folder + "/none"},
                                  kDummySeconds, kDummySeconds, SIGTERM, [](const FlipRecord&) { return true; });

    // Ctrl+C and SIGTERM end the show within a second with 128 + the signal's number; the sound
    // never holds the frame loop down.
    printf("ended in %.2f s by SIGINT, %.2f s by SIGTERM; %.0f frames per second with PulseAudio, %.0f with dummy audio\n",
           pulse.stopSeconds, dummy.stopSeconds, pulse.framesPerSecond, dummy.framesPerSecond);
    for (const auto& [run, status] : {std::pair{&pulse, 130}, {&dummy, 143}}) {
        EXPECT_EQ(run->result.status, status) << run->result.output;
        EXPECT_LT(run->stopSeconds, 1.0);
    }
    EXPECT_GT(pulse.framesPerSecond, dummy.framesPerSecond / 3) << "the frame loop waits on the sound";

    const std::vector<float> heard = readMono(recording);
    // Two clicks tie the recording to the wall clock (the sink's pace differs from it by some
    // hundred parts per million). The first is the recording's first sound, the second its last
    // after a fifth of a second of silence. A click's first sound is the click less the few
    // milliseconds the sink had already passed to the monitor when its stream joined: which frame
    // of the click it is places the click's start.
    const std::vector<float> quiet(kRate / 5, 0.0f);
    const auto afterQuiet = std::find_end(heard.begin(), heard.end(), quiet.begin(), quiet.end());
    const auto sound = [](float v) { return v != 0; };
    long clickAt[2];
    for (int c = 0; c < 2; ++c) {
        const long first = std::min(std::find_if(c == 0 ? heard.begin() : afterQuiet, heard.end(), sound) - heard.begin(), long(heard.size()) - 3);
        const long skipped = std::search(click.begin(), click.end(), heard.begin() + first, heard.begin() + first + 3) - click.begin();
        ASSERT_LT(skipped, long(click.size())) << "click " << c << " is not in the recording";
        clickAt[c] = first - skipped;
    }
    const double perFrame = (clickWalls[1] - clickWalls[0]) / double(clickAt[1] - clickAt[0]);
    const auto wallOf = [&](long frame) { return clickWalls[0] + double(frame - clickAt[0]) * perFrame; };

    // Where the song starts in the recording: its first sound.
    const std::vector<float> song = renderSong(folder + "/song.raw", kCuts[4] / 1000.0 + 2);
    ASSERT_FALSE(song.empty());
    long songShift = (std::find_if(heard.begin() + clickAt[0] + kRate / 4, heard.end(), sound) - heard.begin()) -
                     (std::find_if(song.begin(), song.end(), sound) - song.begin());

    std::vector<double> offsets;
    for (int32_t cut : kCuts) {
        // When the music at the cut reached the monitor: the song around it, found again. It spans
        // the cut, where one part of the song ends and the next begins, so no other place matches.
        const long songAt = long(cut) * kRate / 1000;
        const std::vector<float> around(song.begin() + songAt - kAround, song.begin() + songAt + kAround);
        // A device that falls behind plays silence until the music catches up, so the song only
        // ever slips later in the recording: look from just before where the last cut was found.
        const long expected = songAt - kAround + songShift;
        const auto [found, score] = firstMatch(heard, around, expected - kRate / 5, expected + kSlipSeconds * kRate);
        songShift = found - (songAt - kAround);
        ASSERT_GT(score, kMatch) << "cut " << cut << ": the music was not found in the recording";
        const double heardWall = wallOf(found + kAround);

        // When the first frame of the new scene was flipped, among the frames within a second.
        double shownWall = 0;
        int changes = 0;
        for (bool wasNew = false; const FlipRecord& f : pulse.flips)
            if (const double wall = f.nanoseconds * 1e-9; std::abs(wall - heardWall) <= 1) {
                if (showsSceneAt(cut, f) && !wasNew) shownWall = wall, ++changes;
                wasNew = showsSceneAt(cut, f);
            }
        ASSERT_EQ(changes, 1) << "cut " << cut << ": the frames around it do not show one clean change of scene";
        offsets.push_back((heardWall - shownWall) * 1000);
        printf("cut %6d ms: heard %+7.1f ms after it was shown\n", cut, offsets.back());
        EXPECT_LE(std::abs(offsets.back()), kTolerance) << "cut " << cut;
    }
    std::nth_element(offsets.begin(), offsets.begin() + offsets.size() / 2, offsets.end());
    EXPECT_LE(std::abs(offsets[offsets.size() / 2]), kMedianTolerance) << "the median";
}
