// The real show as a desktop user gets it: against a private PulseAudio server with a null sink
// whose monitor is recorded, with a preload that logs every flip. The frame rate against a run
// with SDL's dummy audio, picture against sound at five scene cuts, and Ctrl+C and SIGTERM.
#include <gtest/gtest.h>
#include <mikmod.h>

#include <signal.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
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

double wallNow() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return double(now.tv_sec) + now.tv_nsec * 1e-9;
}

void sleepUntil(double wall) {
    std::this_thread::sleep_for(std::chrono::duration<double>(std::max(0.0, wall - wallNow())));
}

// 16-bit stereo frames as one mono sum per frame.
std::vector<float> readMono(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<float> mono;
    for (int16_t frame[2]; in.read(reinterpret_cast<char*>(frame), sizeof frame);)
        mono.push_back(float(frame[0]) + float(frame[1]));
    return mono;
}

// Where `pattern` best matches `signal` among starts [from, to): the start and its normalised
// correlation (1 for an exact copy up to scale), over every step-th frame of the pattern.
std::pair<long, double> matchEvery(const std::vector<float>& signal, const std::vector<float>& pattern,
                                   long from, long to, size_t step) {
    double patternEnergy = 0;
    for (size_t i = 0; i < pattern.size(); i += step) patternEnergy += double(pattern[i]) * pattern[i];
    std::pair<long, double> best{-1, -2};
    for (long start = std::max(0L, from); start < to && start + long(pattern.size()) <= long(signal.size()); ++start) {
        double dot = 0, energy = 0;
        for (size_t i = 0; i < pattern.size(); i += step) {
            dot += double(signal[start + i]) * pattern[i];
            energy += double(signal[start + i]) * signal[start + i];
        }
        const double score = dot / std::sqrt(patternEnergy * energy + 1);
        if (score > best.second) best = {start, score};
    }
    return best;
}

// The first place in [from, to) where `pattern` matches `signal` with a normalised correlation of
// at least kMatch, over every 8th frame of the pattern; then the best start just there over every
// frame. A later repeat of the same bars can match as well, so the first match wins, not the best.
constexpr double kMatch = 0.9;
std::pair<long, double> firstMatch(const std::vector<float>& signal, const std::vector<float>& pattern,
                                   long from, long to) {
    for (long start = std::max(0L, from); start < to; ++start)
        if (matchEvery(signal, pattern, start, start + 1, 8).second >= kMatch)
            return matchEvery(signal, pattern, start, start + 16, 1);
    return {-1, 0};
}

// The show's song as libmikmod's raw disk writer renders it with the show's settings.
std::vector<float> renderSong(const std::string& folder, double seconds) {
    const std::string raw = folder + "/song.raw";
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

// The frames a show run flipped, read from the preload's log.
std::vector<FlipRecord> readFlips(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<FlipRecord> flips;
    for (FlipRecord r; in.read(reinterpret_cast<char*>(&r), sizeof r);) flips.push_back(r);
    return flips;
}

// The same grid of pixels from one of build/render's raw frames.
FlipRecord gridOf(const std::string& rawFrame) {
    std::ifstream in(rawFrame, std::ios::binary);
    std::vector<uint32_t> frame(320 * 240);
    in.read(reinterpret_cast<char*>(frame.data()), frame.size() * 4);
    FlipRecord r{};
    for (int i = 0; i < kFlipGrid * kFlipGrid; ++i)
        r.pixels[i] = frame[flipRow(i) * 320 + flipColumn(i)];
    return r;
}

long distance(const FlipRecord& a, const FlipRecord& b) {
    long d = 0;
    for (int i = 0; i < kFlipGrid * kFlipGrid; ++i)
        for (int shift : {0, 8, 16}) d += std::abs(int(a.pixels[i] >> shift & 0xFF) - int(b.pixels[i] >> shift & 0xFF));
    return d;
}

struct ShowRun {
    ProcessResult result;
    double started = 0;      // wall time of the start
    double stopSeconds = 0;  // from the signal to the exit
    std::vector<FlipRecord> flips;

    double framesPerSecond() const {
        const auto in = std::count_if(flips.begin(), flips.end(), [&](const FlipRecord& f) {
            const double t = f.nanoseconds * 1e-9 - started;
            return t >= kRateFrom && t < kRateTo;
        });
        return double(in) / (kRateTo - kRateFrom);
    }
};

}  // namespace

// A private PulseAudio server: its own folder, socket, runtime and state, one null sink.
class Playback : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        folder_ = makeTempFolder();
        const std::string socket = folder_ + "/native";
        std::ofstream(folder_ + "/server.pa") << "load-module module-null-sink sink_name=show rate=44100 channels=2\n"
                                                 "set-default-sink show\n"
                                                 "load-module module-native-protocol-unix auth-anonymous=1 socket="
                                              << socket << "\n";
        std::ofstream(folder_ + "/cookie", std::ios::binary) << std::string(256, '\x17');
        for (const auto& [name, value] : {std::pair{"PULSE_SERVER", "unix:" + socket},
                                          {"PULSE_RUNTIME_PATH", folder_ + "/runtime"},
                                          {"PULSE_STATE_PATH", folder_ + "/state"},
                                          {"PULSE_COOKIE", folder_ + "/cookie"}})
            setenv(name, value.c_str(), 1);
        ProcessOptions options;
        options.setEnv = {"HOME=" + folder_};
        server_ = startProcess({"/usr/bin/pulseaudio", "-n", "--daemonize=no", "--exit-idle-time=-1",
                                "--use-pid-file=no",
                                "--log-level=error", "--disable-shm=yes", "-F", folder_ + "/server.pa"}, options);
        for (int i = 0; i < 200 && !fs::exists(socket); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
        ASSERT_TRUE(fs::exists(socket)) << "PulseAudio did not start (are pulseaudio and pulseaudio-utils installed?)";
    }
    static void TearDownTestSuite() {
        if (server_.outputFd >= 0) {
            kill(server_.pid, SIGTERM);
            waitProcess(server_, 5);
        }
        for (const char* name : {"PULSE_SERVER", "PULSE_RUNTIME_PATH", "PULSE_STATE_PATH", "PULSE_COOKIE"}) unsetenv(name);
        fs::remove_all(folder_);
    }

    // Writes a burst of noise into the sink with pacat; returns the wall time of the write.
    static double playClick(std::vector<float>& click) {
        std::vector<int16_t> frames;
        uint32_t seed = 12345;
        click.clear();
        for (int i = 0; i < kClickFrames; ++i) {
            seed = seed * 1664525u + 1013904223u;
            const int v = (int(seed >> 16) - 32768) / 2;
            frames.insert(frames.end(), {int16_t(v), int16_t(v)});
            click.push_back(2.0f * v);
        }
        FILE* pacat = popen("pacat --raw --format=s16le --rate=44100 --channels=2 --latency-msec=20", "w");
        std::this_thread::sleep_for(std::chrono::milliseconds(500));  // connected, waiting for data
        const double written = wallNow();
        fwrite(frames.data(), 2, frames.size(), pacat);
        fflush(pacat);
        pclose(pacat);
        return written;
    }

    // The real show with the real song, flips logged, ended by `signal` once `done` holds for the
    // latest flip, looked at from `least` seconds on, or after `most` seconds.
    template <typename Done>
    static ShowRun runShow(std::vector<std::string> env, double least, double most, int signal, Done done) {
        const std::string log = folder_ + "/flips" + std::to_string(signal);
        ProcessOptions options;
        options.folder = SHOW_ASSETS;
        options.setEnv = {"LD_PRELOAD=" FLIP_LOG_LIBRARY, "SHOW_FLIP_LOG=" + log, "SDL_VIDEODRIVER=dummy"};
        options.setEnv.insert(options.setEnv.end(), env.begin(), env.end());
        options.unsetEnv = {"DISPLAY", "SDL_AUDIODRIVER", "SDL12COMPAT_SYNC_TO_VBLANK"};
        ShowRun run;
        run.started = wallNow();
        Process show = startProcess({SHOW_BINARY}, options);
        sleepUntil(run.started + least);
        for (FlipRecord last{}; wallNow() < run.started + most; std::this_thread::sleep_for(std::chrono::milliseconds(100))) {
            std::ifstream in(log, std::ios::binary | std::ios::ate);
            if (in.tellg() >= std::streamoff(sizeof last)) {
                in.seekg(-std::streamoff(sizeof last), std::ios::end);
                in.read(reinterpret_cast<char*>(&last), sizeof last);
                if (done(last)) break;
            }
        }
        const double signalled = wallNow();
        kill(show.pid, signal);
        run.result = waitProcess(show, 5);
        run.stopSeconds = wallNow() - signalled;
        run.flips = readFlips(log);
        return run;
    }

    static inline std::string folder_;
    static inline Process server_;
};

TEST_F(Playback, PictureAndSoundStayTogetherAndSignalsEndTheShow) {
    // Reference pictures just before and at each cut, drawn by the renderer.
    std::string times;
    for (int32_t cut : kCuts) times += std::to_string(cut - 1) + "," + std::to_string(cut) + ",";
    times.pop_back();
    const ProcessResult drawn = runProcess({RENDER_BINARY, "--times", times, "--format", "raw", "--out", folder_ + "/refs"});
    ASSERT_EQ(drawn.status, 0) << drawn.output;
    std::map<int32_t, FlipRecord> grids;
    for (int32_t cut : kCuts)
        for (int32_t t : {cut - 1, cut}) grids[t] = gridOf(folder_ + "/refs/" + std::to_string(t) + ".raw");
    // Whether a flip shows the scene that begins at the cut rather than the one that ends there.
    const auto showsSceneAt = [&](int32_t cut, const FlipRecord& f) {
        return distance(f, grids[cut]) < distance(f, grids[cut - 1]);
    };

    // Record the monitor; a click of known wall time ties the recording to the wall clock. A
    // stream of silence keeps the sink running, so the recording has no holes between sounds.
    Process silence = startProcess({"/bin/sh", "-c", "exec pacat --raw --format=s16le --rate=44100 "
                                                     "--channels=2 --latency-msec=20 < /dev/zero"}, {});
    const std::string recording = folder_ + "/monitor.raw";
    Process recorder = startProcess({"/usr/bin/parec", "--raw", "--format=s16le", "--rate=44100", "--channels=2",
                                     "--latency-msec=5", "-d", "show.monitor", recording}, {});
    for (int i = 0; i < 200 && (!fs::exists(recording) || fs::file_size(recording) == 0); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    std::vector<float> click;
    double clickWalls[2] = {playClick(click), 0};
    std::this_thread::sleep_for(std::chrono::milliseconds(300));

    // Past the last cut: a second after its scene first shows (later than the song's time when the
    // device has fallen behind).
    double lastCutShown = 0;
    const ShowRun pulse = runShow({}, kCuts[4] / 1000.0, kCuts[4] / 1000.0 + 20, SIGINT, [&](const FlipRecord& f) {
        if (!showsSceneAt(kCuts[4], f)) return false;
        if (lastCutShown == 0) lastCutShown = wallNow();
        return wallNow() > lastCutShown + 1;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    clickWalls[1] = playClick(click);  // after the show, for the recording's pace
    kill(recorder.pid, SIGINT);
    waitProcess(recorder, 5);
    kill(silence.pid, SIGTERM);
    waitProcess(silence, 5);
    // The same show with SDL's dummy audio and no sound server to be found.
    const ShowRun dummy = runShow({"SDL_AUDIODRIVER=dummy", "PULSE_SERVER=unix:" + folder_ + "/none"}, kDummySeconds, kDummySeconds, SIGTERM,
                                  [](const FlipRecord&) { return true; });

    // Ctrl+C and SIGTERM end the show within a second with 128 + the signal's number.
    for (const auto& [run, status] : {std::pair{&pulse, 130}, {&dummy, 143}}) {
        printf("signal %d: ended in %.2f s with status %d\n", status - 128, run->stopSeconds, run->result.status);
        EXPECT_EQ(run->result.status, status) << run->result.output;
        EXPECT_LT(run->stopSeconds, 1.0);
    }

    // The sound never holds the frame loop down.
    printf("frames per second from %g to %g s: %.0f with PulseAudio, %.0f with SDL's dummy audio\n", kRateFrom,
           kRateTo, pulse.framesPerSecond(), dummy.framesPerSecond());
    EXPECT_GT(pulse.framesPerSecond(), dummy.framesPerSecond() / 3) << "the frame loop waits on the sound";

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
        const long first = std::find_if(c == 0 ? heard.begin() : afterQuiet, heard.end(), sound) - heard.begin();
        ASSERT_LT(first + 3, long(heard.size())) << "click " << c << " is not in the recording";
        const long skipped = std::search(click.begin(), click.end(), heard.begin() + first, heard.begin() + first + 3) - click.begin();
        ASSERT_LT(skipped, long(click.size())) << "click " << c << " is not in the recording";
        clickAt[c] = first - skipped;
        printf("click %d: its stream joined %.1f ms late\n", c, skipped * 1000.0 / kRate);
    }
    const double perFrame = (clickWalls[1] - clickWalls[0]) / double(clickAt[1] - clickAt[0]);
    printf("the recording ran %+.0f ppm against the wall clock\n", (perFrame * kRate - 1) * 1e6);
    const auto wallOf = [&](long frame) { return clickWalls[0] + double(frame - clickAt[0]) * perFrame; };

    // Where the song starts in the recording: its first sound.
    const std::vector<float> song = renderSong(folder_, kCuts[4] / 1000.0 + 2);
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
        bool wasNew = false;
        for (const FlipRecord& f : pulse.flips) {
            const double wall = f.nanoseconds * 1e-9;
            if (std::abs(wall - heardWall) > 1) continue;
            const bool isNew = showsSceneAt(cut, f);
            if (isNew && !wasNew) {
                shownWall = wall;
                ++changes;
            }
            wasNew = isNew;
        }
        ASSERT_EQ(changes, 1) << "cut " << cut << ": the frames around it do not show one clean change of scene";
        offsets.push_back((heardWall - shownWall) * 1000);
        printf("cut %6d ms: heard %+7.1f ms after it was shown\n", cut, offsets.back());
    }
    std::vector<double> sorted = offsets;
    std::sort(sorted.begin(), sorted.end());
    const double median = sorted[sorted.size() / 2];
    printf("median %+.1f ms\n", median);
    for (double offset : offsets) EXPECT_LE(std::abs(offset), kTolerance);
    EXPECT_LE(std::abs(median), kMedianTolerance);
}
