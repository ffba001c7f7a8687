// The offline renderer's contract, run as a user runs it: formats, order, carry-over, bad input.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "png_io.h"
#include "process.h"

namespace fs = std::filesystem;

namespace {

ProcessResult render(std::vector<std::string> args) {
    args.insert(args.begin(), RENDER_BINARY);
    return runProcess(args);
}

std::vector<uint8_t> readBytes(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// The raw file's words, read as little-endian whatever the machine.
std::vector<uint32_t> readRaw(const std::string& path) {
    const std::vector<uint8_t> bytes = readBytes(path);
    std::vector<uint32_t> words(bytes.size() / 4);
    for (size_t i = 0; i < words.size(); ++i)
        words[i] = bytes[4 * i] | bytes[4 * i + 1] << 8 | bytes[4 * i + 2] << 16 |
                   uint32_t(bytes[4 * i + 3]) << 24;
    return words;
}

bool allEqual(const std::vector<uint32_t>& words, uint32_t value) {
    for (uint32_t word : words)
        if (word != value) return false;
    return !words.empty();
}

struct Render : ::testing::Test {
    std::string out = makeTempFolder();
    void TearDown() override { fs::remove_all(out); }
};

}  // namespace

TEST_F(Render, RawFramesAreTheWordsAsDrawn) {
    const ProcessResult result = render({"--times", "115064", "--format", "raw", "--out", out});
    ASSERT_EQ(result.status, 0) << result.output;
    EXPECT_EQ(fs::file_size(out + "/115064.raw"), 307200u);
    EXPECT_TRUE(allEqual(readRaw(out + "/115064.raw"), 0x808080u));
}

TEST_F(Render, PngFramesAre320By240Rgb) {
    const ProcessResult result = render({"--times", "115001", "--format", "png", "--out", out});
    ASSERT_EQ(result.status, 0) << result.output;
    RgbaImage image;
    std::string error;
    ASSERT_TRUE(readPng(out + "/115001.png", image, error)) << error;
    EXPECT_EQ(image.width, 320);
    EXPECT_EQ(image.height, 240);
    for (size_t i = 0; i < image.rgba.size(); i += 4)
        ASSERT_EQ(image.rgba[i] + image.rgba[i + 1] * 256 + image.rgba[i + 2] * 65536 +
                      image.rgba[i + 3] * 16777216u,
                  0xFF020202u) << "pixel " << i / 4;
}

TEST_F(Render, TheFirstFrameStartsFromZero) {
    // 115000 draws nothing: the frame is what the buffer held before it.
    ASSERT_EQ(render({"--times", "115000", "--format", "raw", "--out", out}).status, 0);
    EXPECT_TRUE(allEqual(readRaw(out + "/115000.raw"), 0u));
}

TEST_F(Render, FramesCarryOverInTheOrderGiven) {
    ASSERT_EQ(render({"--times", "115001,115000,115126,115000", "--format", "raw", "--out", out}).status, 0);
    // 115000 was written twice; the file keeps the last, drawn over the flash at 115126.
    EXPECT_TRUE(allEqual(readRaw(out + "/115000.raw"), 0xFCFCFCu));
    EXPECT_TRUE(allEqual(readRaw(out + "/115001.raw"), 0x020202u));
}

TEST_F(Render, RangeFollowsTheListedTimes) {
    // The list is drawn first (115126), then the range: 115000 (untouched, so it shows the flash
    // carried over), 115005 and 115010, stopping below 115015.
    ASSERT_EQ(render({"--times", "115126", "--range", "115000:115015:5", "--format", "raw",
                      "--out", out}).status, 0);
    EXPECT_TRUE(allEqual(readRaw(out + "/115000.raw"), 0xFCFCFCu));
    EXPECT_TRUE(allEqual(readRaw(out + "/115010.raw"), 0x141414u));
    EXPECT_FALSE(fs::exists(out + "/115015.raw"));
    EXPECT_EQ(std::distance(fs::directory_iterator(out), fs::directory_iterator()), 4);
}

TEST_F(Render, CreatesMissingFolders) {
    const std::string nested = out + "/a/b";
    ASSERT_EQ(render({"--times", "0", "--format", "png", "--out", nested}).status, 0);
    EXPECT_TRUE(fs::exists(nested + "/0.png"));
}

TEST_F(Render, WrongArgumentsGiveUsageAndStatusTwo) {
    const std::vector<std::vector<std::string>> wrong = {
        {},
        {"--format", "png", "--out", out},
        {"--times", "1", "--out", out},
        {"--times", "1", "--format", "png"},
        {"--times", "1", "--format", "jpg", "--out", out},
        {"--times", "1,,2", "--format", "png", "--out", out},
        {"--times", "12a", "--format", "png", "--out", out},
        {"--times", "99999999999", "--format", "png", "--out", out},
        {"--range", "5:5:1", "--format", "raw", "--out", out},
        {"--range", "0:10:0", "--format", "raw", "--out", out},
        {"--range", "0:10", "--format", "raw", "--out", out},
        {"--times", "1", "--format", "png", "--out", out, "--bogus", "1"},
        {"--times", "1", "--format", "png", "--out"},
    };
    for (const auto& args : wrong) {
        const ProcessResult result = render(args);
        std::string shown;
        for (const auto& arg : args) shown += arg + " ";
        EXPECT_EQ(result.status, 2) << shown;
        EXPECT_NE(result.output.find("usage: render"), std::string::npos) << shown;
    }
    EXPECT_TRUE(fs::is_empty(out)) << "nothing is written after a usage error";
}

TEST_F(Render, AFolderItCannotWriteGivesStatusOne) {
    const std::string file = out + "/plain-file";
    std::ofstream(file) << "x";
    ProcessResult result = render({"--times", "1", "--format", "raw", "--out", file});
    EXPECT_EQ(result.status, 1) << result.output;
    EXPECT_NE(result.output.find("plain-file"), std::string::npos) << result.output;

    result = render({"--times", "1", "--format", "raw", "--out", "/proc/no-such-folder"});
    EXPECT_EQ(result.status, 1) << result.output;

    fs::create_directories(out + "/frames/7.raw");  // the frame's own name is taken by a folder
    result = render({"--times", "7", "--format", "raw", "--out", out + "/frames"});
    EXPECT_EQ(result.status, 1) << result.output;
}
