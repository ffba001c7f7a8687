// capture_test.cpp: build/capture run as a user runs it, its files read back with ffprobe and ffmpeg.
#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <thread>

#include "2d/frame.h"
#include "main/frameMixer.h"
#include "onsets.h"
#include "process.h"

namespace fs = std::filesystem;

namespace {

using Frame = std::vector<uint32_t>;

ProcessResult capture(std::vector<std::string> args, const ProcessOptions& options = {}) {
    args.insert(args.begin(), {CAPTURE_BINARY, "--module", SONG_PATH});
    return runProcess(args, options);
}

// Everything a command prints on its standard output (ffmpeg and ffprobe, for reading files back).
std::string readCommand(const std::string& command) {
    std::string out;
    FILE* pipe = popen(command.c_str(), "r");
    char buffer[65536];
    for (size_t got; pipe && (got = fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, got);
    if (pipe) pclose(pipe);
    return out;
}

// ffprobe's "streams.stream.N.key" fields (and the container's "format.key") without quotes.
std::map<std::string, std::string> probe(const std::string& file) {
    std::map<std::string, std::string> fields;
    std::istringstream lines(readCommand("ffprobe -v error -count_frames -show_streams -show_format -of flat '" +
                                         file + "'"));
    for (std::string line; std::getline(lines, line);) {
        const size_t eq = line.find('=');
        std::string value = line.substr(eq + 1);
        if (value.size() >= 2 && value.front() == '"') value = value.substr(1, value.size() - 2);
        fields[line.substr(0, eq)] = value;
    }
    return fields;
}

// The file's frames as 0x00RRGGBB words, shrunk by `shrink` (1: as stored). Averaging each
// block and converting at full chroma resolution with exact rounding undoes the scaling and
// reads the BT.709 tags without adding error of the converter's own.
std::vector<Frame> decodeFrames(const std::string& file, int width, int height, int shrink) {
    const std::string n = std::to_string(shrink);
    const std::string bytes = readCommand("ffmpeg -v error -i '" + file + "' -vf scale=iw/" + n + ":ih/" + n +
                                          ":flags=area+full_chroma_int+accurate_rnd -f rawvideo -pix_fmt bgr0 -");
    const size_t size = size_t(width) * height;
    std::vector<Frame> frames(bytes.size() / (4 * size), Frame(size));
    for (size_t f = 0; f < frames.size(); ++f)
        for (size_t i = 0; i < size; ++i) {
            const auto* p = reinterpret_cast<const uint8_t*>(bytes.data()) + 4 * (f * size + i);
            frames[f][i] = p[2] << 16 | p[1] << 8 | p[0];
        }
    return frames;
}

std::vector<int16_t> decodeSound(const std::string& file) {
    const std::string bytes = readCommand("ffmpeg -v error -i '" + file + "' -f s16le -ac 2 -ar 44100 -");
    std::vector<int16_t> samples(bytes.size() / 2);
    memcpy(samples.data(), bytes.data(), samples.size() * 2);
    return samples;
}

// The renderer's frames for these show times, drawn in this order on one buffer from black.
std::vector<Frame> render(const std::vector<int>& times, const std::string& folder) {
    std::string list;
    for (int t : times) list += (list.empty() ? "" : ",") + std::to_string(t);
    const ProcessResult result = runProcess({RENDER_BINARY, "--times", list, "--format", "raw", "--out", folder});
    EXPECT_EQ(result.status, 0) << result.output;
    std::vector<Frame> frames;
    for (int t : times) {
        std::ifstream in(folder + "/" + std::to_string(t) + ".raw", std::ios::binary);
        Frame frame(kPixels);
        in.read(reinterpret_cast<char*>(frame.data()), kPixels * 4);  // little-endian words
        frames.push_back(frame);
    }
    return frames;
}

// Show times of the frames first to end-1, floored: 0, 16, 33, 50, ... at 60 fps.
std::vector<int> frameTimes(int first, int end, int fps) {
    std::vector<int> times;
    for (int n = first; n < end; ++n) times.push_back(n * 1000 / fps);
    return times;
}

Frame scaledUp(const Frame& drawn, int scale) {
    Frame big(drawn.size() * scale * scale);
    for (size_t i = 0; i < big.size(); ++i)
        big[i] = drawn[(i / (kWidth * scale) / scale) * kWidth + (i % (kWidth * scale)) / scale];
    return big;
}

// PSNR in dB over red, green and blue.
double psnr(const Frame& decoded, const Frame& drawn) {
    double sum = 0;
    for (size_t i = 0; i < decoded.size(); ++i)
        for (int shift : {0, 8, 16}) {
            const double d = double((decoded[i] >> shift) & 0xFF) - double((drawn[i] >> shift) & 0xFF);
            sum += d * d;
        }
    const double mse = sum / (3.0 * decoded.size());
    return mse == 0 ? 99 : 10 * std::log10(255.0 * 255.0 / mse);
}

// Signed ms from show time t to the nearest onset in a file's sound that starts at startMs.
int onsetOffset(const std::vector<int16_t>& stereo, double startMs, int t) {
    std::vector<int16_t> left, right;
    for (size_t i = 0; i + 1 < stereo.size(); i += 2) {
        left.push_back(stereo[i]);
        right.push_back(stereo[i + 1]);
    }
    return nearestOffset(onsets(left, right), int(std::lround(t - startMs)));
}

// The song mixed by libmikmod with the capture's schedule, one frame's samples an update.
const SongMix& mixAt(int fps) {
    static std::map<int, SongMix> mixes;
    if (!mixes.count(fps)) {
        std::string error;
        EXPECT_TRUE(mixSong(SONG_PATH, kMixRate / fps, mixes[fps], error)) << error;
    }
    return mixes[fps];
}

struct Capture : ::testing::Test {
    std::string dir = makeTempFolder();
    void TearDown() override { fs::remove_all(dir); }
};

}  // namespace

// Every frame of a lossless excerpt across the cut from the clock to the helmet is the drawn frame
// for its show time, every pixel a 2 x 2 block; the sound is the mix, sample for sample.
TEST_F(Capture, LosslessExcerptHoldsTheDrawnFramesAndTheSongExactly) {
    const std::string file = dir + "/cut.mkv";
    const ProcessResult result = capture({"--lossless", "--scale", "2", "--from", "8300", "--to", "9800", "--out", file});
    ASSERT_EQ(result.status, 0) << result.output;
    EXPECT_EQ(result.output, "") << "quiet when not on a terminal";
    auto info = probe(file);
    EXPECT_EQ(info["streams.stream.0.codec_name"] + " " + info["streams.stream.0.width"] + "x" +
                  info["streams.stream.0.height"] + " " + info["streams.stream.0.r_frame_rate"] + " " +
                  info["streams.stream.0.nb_read_frames"] + " frames; " + info["streams.stream.1.codec_name"] + " " +
                  info["streams.stream.1.sample_rate"] + " " + info["streams.stream.1.channels"],
              "ffv1 640x480 60/1 90 frames; flac 44100 2");
    EXPECT_NEAR(std::stod(info["format.duration"]), 1.5, 0.001);

    const std::vector<Frame> decoded = decodeFrames(file, 2 * kWidth, 2 * kHeight, 1);
    const std::vector<Frame> drawn = render(frameTimes(498, 588, 60), dir + "/frames");
    ASSERT_EQ(decoded.size(), drawn.size());
    for (size_t f = 0; f < decoded.size(); ++f)
        EXPECT_TRUE(decoded[f] == scaledUp(drawn[f], 2)) << "frame " << f << " is not show time " << (498 + f) * 1000 / 60;

    const std::vector<int16_t> sound = decodeSound(file);
    const SongMix& mix = mixAt(60);
    ASSERT_TRUE(sound == std::vector<int16_t>(mix.samples.begin() + 498 * 735 * 2, mix.samples.begin() + 588 * 735 * 2))
        << sound.size() / 2 << " samples";
    const int offset = onsetOffset(sound, 8300, 8800);
    printf("onset of the cut at 8800 ms: %+d ms\n", offset);
    EXPECT_LE(std::abs(offset), 16) << "more than a frame away";
}

// The default MP4 around the white flash: the streams and tags players need, every frame close to
// the drawn one, and the flash's final hit where the flash is, through AAC's priming delay.
TEST_F(Capture, Mp4ExcerptIsCloseToTheDrawnFramesAndInTime) {
    const std::string file = dir + "/flash.mp4";
    const ProcessResult result = capture({"--scale", "2", "--from", "114300", "--to", "116300", "--out", file});
    ASSERT_EQ(result.status, 0) << result.output;
    auto info = probe(file);
    EXPECT_EQ(info["streams.stream.0.codec_name"] + " " + info["streams.stream.0.pix_fmt"] + " " +
                  info["streams.stream.0.width"] + "x" + info["streams.stream.0.height"] + " " +
                  info["streams.stream.0.r_frame_rate"] + " " + info["streams.stream.0.nb_read_frames"] + " frames " +
                  info["streams.stream.0.color_space"] + " " + info["streams.stream.0.color_primaries"] + " " +
                  info["streams.stream.0.color_transfer"] + " " + info["streams.stream.0.color_range"] + "; " +
                  info["streams.stream.1.codec_name"] + " " + info["streams.stream.1.sample_rate"] + " " +
                  info["streams.stream.1.channels"],
              "h264 yuv420p 640x480 60/1 120 frames bt709 bt709 bt709 tv; aac 44100 2");
    EXPECT_NEAR(std::stod(info["streams.stream.0.duration"]), 2.0, 0.001);
    EXPECT_NEAR(std::stod(info["streams.stream.1.duration"]), 2.0, 0.001);

    // At this scale the plasma behind the portrait, the excerpt's hardest picture, keeps 34.5 to
    // 36.6 dB through x264; a frame one step off scores 27 to 31 dB there wherever the plasma
    // moves, and 8 to 31 dB in the flash and the fade. 32 dB lies between.
    const std::vector<Frame> decoded = decodeFrames(file, kWidth, kHeight, 2);
    const std::vector<Frame> drawn = render(frameTimes(6858, 6978, 60), dir + "/frames");
    ASSERT_EQ(decoded.size(), drawn.size());
    double lowest = 99;
    for (size_t f = 0; f < decoded.size(); ++f) {
        EXPECT_GE(psnr(decoded[f], drawn[f]), 32.0) << "frame " << f << ", show time " << (6858 + f) * 1000 / 60;
        lowest = std::min(lowest, psnr(decoded[f], drawn[f]));
    }
    printf("lowest PSNR of a frame: %.1f dB\n", lowest);

    const std::vector<int16_t> sound = decodeSound(file);  // AAC's padding after the end included
    const int offset = onsetOffset(sound, 114300, 115000);
    printf("onset of the flash's hit at 115000 ms: %+d ms\n", offset);
    EXPECT_LE(std::abs(offset), 16) << "more than a frame away";
}
