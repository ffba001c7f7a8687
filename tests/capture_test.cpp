// capture_test.cpp: build/capture run as a user runs it, its files read back with ffprobe and ffmpeg.
#include <gtest/gtest.h>

#include <signal.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>
#include <tuple>

#include "2d/frame.h"
#include "demo/demo.h"
#include "song/song.h"
#include "onsets.h"
#include "process.h"

namespace fs = std::filesystem;

namespace {

using Frame = std::vector<uint32_t>;

ProcessResult capture(std::vector<std::string> args, const ProcessOptions& options = {}) {
    args.insert(args.begin(), {CAPTURE_BINARY, "--module", SONG_PATH});
    return runProcess(args, options);
}

// What a command prints on its standard output: ffprobe's facts, ffmpeg's decoded bytes.
std::string readCommand(const std::string& command) {
    std::string out;
    FILE* pipe = popen(command.c_str(), "r");
    char buffer[65536];
    for (size_t got; pipe && (got = fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, got);
    if (pipe) pclose(pipe);
    return out;
}

// One line per stream, then the file's duration, each as ffprobe lists the fields.
std::string probe(const std::string& file) {
    return readCommand("ffprobe -v error -count_frames -show_entries stream=codec_name,width,height,pix_fmt,"
                       "color_space,color_primaries,color_transfer,color_range,r_frame_rate,nb_read_frames,"
                       "sample_rate,channels:format=duration -of csv=p=0 '" + file + "'");
}

// The file's title, then its chapters, one line each: start and end in seconds, and the name.
std::string chapters(const std::string& file) {
    return readCommand("ffprobe -v error -show_entries format_tags=title:chapter=start_time,end_time:chapter_tags=title "
                       "-of csv=p=0 '" + file + "'");
}

// Decoded frames as 0x00RRGGBB words (bgr0 bytes on this little-endian machine), shrunk by
// `shrink`. Averaging each block at full chroma resolution with exact rounding undoes the
// scaling and follows the BT.709 tags without error of the converter's own.
std::vector<Frame> decodeFrames(const std::string& file, int shrink, int pixels) {
    const std::string n = std::to_string(shrink);
    const std::string bytes = readCommand("ffmpeg -v error -i '" + file + "' -vf scale=iw/" + n + ":ih/" + n +
                                          ":flags=area+full_chroma_int+accurate_rnd -f rawvideo -pix_fmt bgr0 -");
    std::vector<Frame> frames(bytes.size() / (4 * size_t(pixels)), Frame(size_t(pixels)));
    for (size_t f = 0; f < frames.size(); ++f) memcpy(frames[f].data(), bytes.data() + 4 * f * pixels, 4 * pixels);
    return frames;
}

std::vector<int16_t> decodeSound(const std::string& file) {
    const std::string bytes = readCommand("ffmpeg -v error -i '" + file + "' -f s16le -ac 2 -ar 44100 -");
    std::vector<int16_t> samples(bytes.size() / 2);
    memcpy(samples.data(), bytes.data(), samples.size() * 2);
    return samples;
}

// The core's frames first to end - 1 (show times floored: 0, 16, 33, 50, ... at 60 fps), drawn
// in order on one buffer from black.
std::vector<Frame> drawn(int fps, int first, int end) {
    [[maybe_unused]] static const bool ready = (initDemo(), true);
    Frame screen(kPixels, 0);
    std::vector<Frame> frames;
    for (int n = first; n < end; ++n) frames.push_back((doDemoAt(screen.data(), n * 1000 / fps), screen));
    return frames;
}

Frame scaledUp(const Frame& drawn, int scale) {
    Frame big(drawn.size() * scale * scale);
    for (size_t i = 0; i < big.size(); ++i)
        big[i] = drawn[(i / (kWidth * scale) / scale) * kWidth + (i % (kWidth * scale)) / scale];
    return big;
}

// PSNR in dB over red, green and blue (infinite for equal frames).
double psnr(const Frame& decoded, const Frame& drawn) {
    double sum = 0;
    for (size_t i = 0; i < decoded.size(); ++i)
        for (int shift : {0, 8, 16}) sum += std::pow(int((decoded[i] >> shift) & 0xFF) - int((drawn[i] >> shift) & 0xFF), 2);
    return 10 * std::log10(255.0 * 255.0 * 3 * decoded.size() / sum);
}

// The song mixed by libmikmod on the capture's schedule, frames first to end - 1.
std::vector<int16_t> mixedSpan(int fps, int first, int end) {
    SongMix mix;
    std::string error;
    EXPECT_TRUE(mixSong(SONG_PATH, kMixRate / fps, mix, error)) << error;
    const size_t perFrame = 2 * size_t(mix.samplesPerFrame);
    return {mix.samples.begin() + ptrdiff_t(first * perFrame), mix.samples.begin() + ptrdiff_t(end * perFrame)};
}

struct Capture : ::testing::Test {
    std::string dir = makeTempFolder();
    void TearDown() override { fs::remove_all(dir); }
};

}  // namespace

// Every frame of a lossless excerpt across the cut from the clock to the helmet is the drawn frame
// for its show time, each pixel a 2 x 2 block; the sound is the mix, sample for sample (whose
// onsets music_test checks against the show's times); its two scenes are its chapters.
TEST_F(Capture, LosslessExcerptHoldsTheDrawnFramesAndTheSongExactly) {
    const std::string file = dir + "/cut.mkv";
    const ProcessResult result = capture({"--lossless", "--scale", "2", "--from", "8300", "--to", "9800", "--out", file});
    ASSERT_EQ(result.status, 0) << result.output;
    EXPECT_EQ(result.output, "") << "quiet when not on a terminal";
    EXPECT_EQ(probe(file), "ffv1,640,480,bgr0,pc,gbr,unknown,unknown,60/1,90\nflac,44100,2,0/0,15\n1.500000\n");
    // The helmet's first frame is the 31st (8800 ms; 8783 is the 30th).
    EXPECT_EQ(chapters(file), "0.000000,0.500000,the clock\n0.500000,1.500000,the helmet\nNocturne\n");

    const std::vector<Frame> decoded = decodeFrames(file, 1, 4 * kPixels);
    const std::vector<Frame> expected = drawn(60, 498, 588);
    ASSERT_EQ(decoded.size(), expected.size());
    for (size_t f = 0; f < decoded.size(); ++f)
        EXPECT_TRUE(decoded[f] == scaledUp(expected[f], 2)) << "frame " << f << " is not show time " << (498 + f) * 1000 / 60;

    EXPECT_TRUE(decodeSound(file) == mixedSpan(60, 498, 588));
}

// The default MP4 around the white flash: the streams and tags players need, the scenes as
// chapters, every frame close to the drawn one, and the flash's final hit where the flash is,
// through AAC's priming delay.
TEST_F(Capture, Mp4ExcerptIsCloseToTheDrawnFramesAndInTime) {
    const std::string file = dir + "/flash.mp4";
    const ProcessResult result = capture({"--scale", "2", "--from", "114300", "--to", "116300", "--out", file});
    ASSERT_EQ(result.status, 0) << result.output;
    EXPECT_EQ(probe(file), "h264,640,480,yuv420p,tv,bt709,bt709,bt709,60/1,120\naac,44100,2,0/0,87\n"
                           "bin_data,0/0,N/A\n2.000000\n") << "video, sound and the chapters' text track";
    // Clipped to the excerpt: the finale from its first frame, 115016 ms, the 44th (MP4 keeps
    // milliseconds), the end from 115650 ms, the 82nd; the scenes before and after left out.
    EXPECT_EQ(chapters(file), "0.000000,0.717000,the second portrait\n0.717000,1.350000,the finale\n"
                              "1.350000,2.000000,the end\nNocturne\n");

    // At this scale the plasma behind the portrait, the excerpt's hardest picture, keeps 34.5 to
    // 36.6 dB through x264; a frame one step off scores 27 to 31 dB there wherever the plasma
    // moves, and 8 to 31 dB in the flash and the fade. 32 dB lies between.
    const std::vector<Frame> decoded = decodeFrames(file, 2, kPixels);
    const std::vector<Frame> expected = drawn(60, 6858, 6978);
    ASSERT_EQ(decoded.size(), expected.size());
    for (size_t f = 0; f < decoded.size(); ++f)
        EXPECT_GE(psnr(decoded[f], expected[f]), 32.0) << "frame " << f << ", show time " << (6858 + f) * 1000 / 60;
    EXPECT_LE(std::abs(nearestOffset(onsets(decodeSound(file)), 115000 - 114300)), 16) << "the flash's hit";
}

// At 50 fps an excerpt from 115000 ms, where no window draws, starts from what the show's screen
// held (the frame of 114980 ms), not from black; the WAV beside it is the same span of the mix.
TEST_F(Capture, ExcerptStartsFromTheShowsOwnScreenAndTheWavIsItsSong) {
    const std::string file = dir + "/flash.mkv", wav = dir + "/flash.wav";
    const ProcessResult result = capture({"--lossless", "--fps", "50", "--from", "115000", "--to", "115040", "--out",
                                          file, "--audio", wav});
    ASSERT_EQ(result.status, 0) << result.output;
    EXPECT_EQ(probe(wav), "pcm_s16le,44100,2,0/0,2\n0.040000\n");
    const std::vector<Frame> shown = drawn(50, 5749, 5752);  // the show's screen at 114980, 115000 and 115020 ms
    EXPECT_TRUE(decodeFrames(file, 1, kPixels) == std::vector<Frame>(shown.begin() + 1, shown.end()));
    EXPECT_TRUE(decodeSound(wav) == mixedSpan(50, 5750, 5752));
}

// Whatever goes wrong, the capture says what, ends with its status, and leaves nothing behind: no
// ffmpeg on PATH, a folder it cannot write in, bad arguments, a Ctrl+C, ffmpeg dying mid-way.
TEST_F(Capture, FailuresSayWhyAndLeaveNothingBehind) {
    const std::string out = dir + "/show.mp4", blocked = dir + "/plain-file/show.mp4";
    std::ofstream(dir + "/plain-file") << "x";
    const std::tuple<std::vector<std::string>, std::vector<std::string>, int, std::string> cases[] = {
        {{"--out", out}, {"PATH="}, 1, "ffmpeg not found on PATH"},
        {{"--out", blocked}, {}, 1, "cannot write " + blocked},
        {{"--out", out, "--from", "200000"}, {}, 2, "the show ends at 118200 ms"},
        {{}, {}, 2, "usage: capture"},
        {{"--out", out, "--fps", "30"}, {}, 2, "usage: capture"},
        {{"--out", out, "--scale", "9"}, {}, 2, "usage: capture"},
        {{"--out", out, "--from", "2000", "--to", "1000"}, {}, 2, "usage: capture"},
        {{"--out", out, "--gif", "--lossless"}, {}, 2, "usage: capture"},
    };
    for (const auto& [args, env, status, message] : cases) {
        ProcessOptions options;
        options.setEnv = env;
        const ProcessResult result = capture(args, options);
        EXPECT_EQ(result.status, status) << ::testing::PrintToString(args) << result.output;
        EXPECT_NE(result.output.find(message), std::string::npos) << result.output;
    }
    // A whole lossless show takes some seconds: long enough to be stopped once ffmpeg runs.
    for (const bool killFfmpeg : {false, true}) {
        Process process = startProcess({CAPTURE_BINARY, "--module", SONG_PATH, "--lossless", "--out", out}, {});
        std::string ffmpeg, task = std::to_string(process.pid);
        for (int tries = 0; ffmpeg.empty() && tries < 500; ++tries) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            std::ifstream("/proc/" + task + "/task/" + task + "/children") >> ffmpeg;
        }
        ASSERT_FALSE(ffmpeg.empty()) << "ffmpeg never started";
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        kill(killFfmpeg ? std::stoi(ffmpeg) : process.pid, killFfmpeg ? SIGKILL : SIGINT);
        const ProcessResult result = waitProcess(process, 30);
        EXPECT_EQ(result.status, killFfmpeg ? 1 : 130) << result.output;
        EXPECT_NE(result.output.find(killFfmpeg ? "ffmpeg failed" : "interrupted"), std::string::npos) << result.output;
    }
    for (const auto& entry : fs::directory_iterator(dir)) EXPECT_EQ(entry.path().filename(), "plain-file") << "left behind";
}
