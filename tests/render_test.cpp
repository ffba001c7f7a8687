// The offline renderer's contract, run as a user runs it: formats, order, carry-over, bad input.
#include <gtest/gtest.h>

#include <endian.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "2d/frame.h"
#include "demo/demo.h"
#include "png_io.h"
#include "process.h"

namespace fs = std::filesystem;

namespace {

ProcessResult render(std::vector<std::string> args) {
    args.insert(args.begin(), RENDER_BINARY);
    return runProcess(args);
}

// The raw file's words, read as little-endian whatever the machine.
std::vector<uint32_t> readRaw(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::vector<uint32_t> words;
    for (uint32_t word; file.read(reinterpret_cast<char*>(&word), 4);) words.push_back(le32toh(word));
    return words;
}

std::vector<uint32_t> uniform(uint32_t colour) { return std::vector<uint32_t>(kPixels, colour); }

struct Render : ::testing::Test {
    std::string out = makeTempFolder();
    void TearDown() override { fs::remove_all(out); }
};

}  // namespace

// Both formats hold the frame exactly as the core draws it, here a colourful clock frame.
TEST_F(Render, FilesHoldTheFrameAsDrawn) {
    initDemo();
    std::vector<uint32_t> drawn(kPixels, 0);
    doDemoAt(drawn.data(), 5000);
    ASSERT_EQ(render({"--times", "5000", "--format", "raw", "--out", out}).status, 0);
    ASSERT_EQ(render({"--times", "5000", "--format", "png", "--out", out}).status, 0);
    EXPECT_EQ(readRaw(out + "/5000.raw"), drawn);
    RgbaImage image;
    std::string error;
    ASSERT_TRUE(readPng(out + "/5000.png", image, error)) << error;
    ASSERT_EQ(image.width * 1000 + image.height, 320240);
    for (int i = 0; i < kPixels; ++i)
        ASSERT_EQ(image.rgba[4 * i] << 16 | image.rgba[4 * i + 1] << 8 | image.rgba[4 * i + 2] |
                      uint32_t(image.rgba[4 * i + 3]) << 24, drawn[i] | 0xFF000000u) << "pixel " << i;
}

// One buffer, all zero at first, carried from frame to frame: the list in its order, then the
// range. 115000 draws nothing, so its file shows what the frame before it left. Missing folders
// are made.
TEST_F(Render, FramesCarryOverInTheOrderGiven) {
    ASSERT_EQ(render({"--times", "115000,115001,115000,115126", "--range", "115000:115015:5", "--format",
                      "raw", "--out", out}).status, 0);
    EXPECT_EQ(readRaw(out + "/115001.raw"), uniform(0x020202));
    EXPECT_EQ(readRaw(out + "/115000.raw"), uniform(0xFCFCFC)) << "a time given twice keeps its last frame";
    EXPECT_EQ(readRaw(out + "/115010.raw"), uniform(0x141414));
    EXPECT_EQ(std::distance(fs::directory_iterator(out), fs::directory_iterator()), 5) << "115015 is not drawn";
    ASSERT_EQ(render({"--times", "115000", "--format", "raw", "--out", out + "/a/first"}).status, 0);
    EXPECT_EQ(readRaw(out + "/a/first/115000.raw"), uniform(0));
}

// Where a player lands after a seek, frame for frame what a continuous run shows: the start, a
// scene's first and last millisecond, deep into the radial blur and its last frame (each built on
// every frame of the blur before it), the black between credit pages, the instants no window holds
// (the frame a millisecond earlier), and the black after the end; the blur's too from its run kept.
TEST_F(Render, AContinuousRunShowsWhatAPlayerDrawsAfterASeek) {
    const std::vector<int32_t> targets = {0,     8799,  8800,  34500, 64000,  68400,  68500,  68517, 70000,
                                          77777, 85299, 85300, 99200, 115000, 115127, 115638, 117000};
    std::string list;
    for (int32_t t : targets) list.append(list.empty() ? "" : ",").append(std::to_string(t));
    ASSERT_EQ(render({"--times", list, "--continuous", "--format", "raw", "--out", out}).status, 0);
    initDemo();
    // The same with the blur's run kept at every second, all of it and its first 200 frames (its
    // fourth kept frame at 72500 ms, between the targets 70000 and 77777), as a page keeps it.
    BlurRun whole, part;
    while (keepBlurRun(whole, 97)) {}
    EXPECT_EQ(whole.kept.size(), 17u) << "one a second through the blur's 16.8 s";
    EXPECT_TRUE(keepBlurRun(part, 200));
    const BlurRun* const runs[] = {nullptr, &part, &whole};
    for (const BlurRun* run : runs) {
        std::vector<uint32_t> frame(kPixels, 0x123456);  // whatever the screen held before the seek
        for (int32_t t : targets) {
            if (run) drawAfterSeek(frame.data(), t, *run);
            else drawAfterSeek(frame.data(), t);
            EXPECT_EQ(readRaw(out + "/" + std::to_string(t) + ".raw"), frame)
                << "after a seek to " << t << " ms, " << (run ? std::to_string(run->kept.size()) : "no") << " frames of the blur kept";
        }
    }
    EXPECT_EQ(render({"--times", "5,4", "--continuous", "--format", "raw", "--out", out}).status, 2)
        << "a continuous run cannot go back";
}

// One call per way the command line can be wrong; O stands for the output folder.
TEST_F(Render, WrongArgumentsGiveUsageAndStatusTwo) {
    for (const char* wrong : {"", "--times 1 --out O", "--times 1 --format png", "--times 1 --format jpg --out O",
                              "--times 1,,2 --format png --out O", "--times 12a --format png --out O",
                              "--times 99999999999 --format png --out O", "--range 5:5:1 --format raw --out O",
                              "--range 0:10:0 --format raw --out O", "--range 0:10 --format raw --out O",
                              "--times 1 --format png --out O --bogus 1", "--times 1 --format png --out", "--help"}) {
        std::vector<std::string> args;
        std::istringstream words(wrong);
        for (std::string word; words >> word;) args.push_back(word == "O" ? out : word);
        const ProcessResult result = render(args);
        EXPECT_EQ(result.status, 2) << wrong;
        EXPECT_NE(result.output.find("usage: render"), std::string::npos) << wrong;
    }
    EXPECT_TRUE(fs::is_empty(out)) << "nothing is written after a usage error";
}

TEST_F(Render, AFolderItCannotWriteGivesStatusOne) {
    std::ofstream(out + "/plain-file") << "x";
    fs::create_directories(out + "/frames/7.raw");  // the frame's own name is taken by a folder
    for (const std::string& folder : {out + "/plain-file", std::string("/proc/no-such-folder"), out + "/frames"}) {
        const ProcessResult result = render({"--times", "7", "--format", "raw", "--out", folder});
        EXPECT_EQ(result.status, 1) << result.output;
        EXPECT_NE(result.output.find(folder), std::string::npos) << result.output;
    }
}
