// The show's picture, whole: the frames every other build is held to (scripts/frames.sh: every
// window of the timeline, the credit pages, runs through the radial blur), drawn by the core in
// order on a frame that starts black, against the checksums committed in frames.crc. Any change
// to a scene, a table, a picture or the timeline shows here as the times whose frames moved.
// After a change meant to alter the picture, look at those frames (build/render --format png) and
// write the file again: SHOW_WRITE_FRAMES_CRC=1 build/tests/frames_test.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdio>
#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "2d/frame.h"
#include "demo/demo.h"
#include "process.h"

namespace {

std::vector<int32_t> sampledTimes() {
    ProcessOptions options;
    options.folder = SHOW_SOURCE_DIR;
    const ProcessResult r = runProcess({"/bin/sh", "-c", ". scripts/frames.sh && frameTimes"}, options);
    EXPECT_EQ(r.status, 0) << r.output;
    std::vector<int32_t> times;
    std::stringstream list(r.output);
    for (std::string t; std::getline(list, t, ',');) times.push_back(std::stoi(t));
    return times;
}

// Time, then the frame's CRC-32 in hex, a line each; lines starting with '#' are notes.
std::map<int32_t, std::string> committed() {
    std::map<int32_t, std::string> crcs;
    std::ifstream in(FRAMES_CRC);
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#') continue;
        std::stringstream fields(line);
        int32_t t;
        std::string crc;
        if (fields >> t >> crc) crcs[t] = crc;
    }
    return crcs;
}

}  // namespace

TEST(Frames, EverySampledFrameIsTheCommittedOne) {
    const std::vector<int32_t> times = sampledTimes();
    ASSERT_GT(times.size(), 300u);
    initDemo();
    std::vector<uint32_t> frame(kPixels, 0);
    std::map<int32_t, std::string> drawn;
    for (const int32_t t : times) {
        doDemoAt(frame.data(), t);
        char hex[9];
        snprintf(hex, sizeof hex, "%08lx",
                 crc32(0, reinterpret_cast<const Bytef*>(frame.data()), kPixels * sizeof(uint32_t)));
        drawn[t] = hex;
    }
    if (getenv("SHOW_WRITE_FRAMES_CRC")) {
        std::ofstream out(FRAMES_CRC);
        out << "# Show time (ms) and the CRC-32 of its 320 x 240 frame, words as the core stores them,\n"
               "# drawn in this order on a frame that starts black. Written by frames_test.\n";
        for (const int32_t t : times) out << t << ' ' << drawn[t] << '\n';
        ASSERT_TRUE(out.flush()) << "cannot write " << FRAMES_CRC;
        GTEST_SKIP() << "wrote " << times.size() << " checksums to " << FRAMES_CRC;
    }
    const std::map<int32_t, std::string> expected = committed();
    ASSERT_FALSE(expected.empty()) << "no checksums in " << FRAMES_CRC;
    ASSERT_EQ(expected.size(), times.size()) << "the sampled times changed; write frames.crc again";
    std::string moved;
    int count = 0;
    for (const int32_t t : times) {
        const auto it = expected.find(t);
        ASSERT_NE(it, expected.end()) << "time " << t << " is not in frames.crc; write it again";
        if (it->second != drawn[t] && ++count <= 12) moved.append(" ").append(std::to_string(t));
    }
    EXPECT_EQ(count, 0) << count << " frames differ from frames.crc, at" << moved << (count > 12 ? " ..." : "");
}

// The whole show frame after frame on one buffer, as the screen sees it, the blur's feedback
// included; under the address and undefined-behaviour sanitizers any stray access ends it. Times
// outside the show draw nothing, or black after its end.
TEST(Frames, TheWholeShowInOrderAndTimesOutsideIt) {
    initDemo();
    std::vector<uint32_t> frame(kPixels, 0);
    for (int32_t t = 0; t <= 116000; t += 7) {
        doDemoAt(frame.data(), t);
        // Every scene draws 0x00RRGGBB pixels, save the cube, whose face colours are whole words:
        // elsewhere a set top byte means a broken packing or blend.
        if (t >= 17000 && t < 34500) continue;
        uint32_t top = 0;
        for (uint32_t p : frame) top |= p;
        ASSERT_EQ(top >> 24, 0u) << "t=" << t << " left a top byte set";
    }
    EXPECT_EQ(frame, std::vector<uint32_t>(kPixels, 0)) << "the show must end black";
    std::vector<uint32_t> marked(kPixels);
    for (int i = 0; i < kPixels; ++i) marked[i] = uint32_t(i) * 2654435761u >> 8;
    for (const int32_t t : {-1, -2147483647 - 1, 2147483647}) {
        std::vector<uint32_t> outside(marked);
        doDemoAt(outside.data(), t);
        EXPECT_EQ(outside, t < 0 ? marked : std::vector<uint32_t>(kPixels, 0)) << "t=" << t;
    }
}

// Scenes that stand still keep their last frame and copy it while it stands, and the stripes write
// every pixel without a clear before them: whatever was drawn between, in whatever order the times
// come (a seek, a replay, a frame from another scene), each frame is the one a run in order draws.
TEST(Frames, ScenesDrawnWholeAreTheSameOutOfOrder) {
    initDemo();
    std::vector<int32_t> times;
    for (int32_t t = 17000; t < 34500; t += 211) times.push_back(t);    // the stripes, the logo, the cube
    for (int32_t t = 0; t < 8800; t += 97) times.push_back(t);          // the dials between their marks
    for (int32_t t = 99000; t < 102250; t += 53) times.push_back(t);    // the credit pages and the black between
    std::vector<uint32_t> frame(kPixels, 0);
    std::map<int32_t, std::vector<uint32_t>> inOrder;
    for (const int32_t t : times) {
        doDemoAt(frame.data(), t);
        inOrder[t] = frame;
    }
    warmScenes();  // as the desktop does before it plays
    std::vector<uint32_t> other(kPixels, 0);
    for (auto t = times.rbegin(); t != times.rend(); ++t) {
        doDemoAt(other.data(), 40000 + *t % 1000);  // another scene in between, on another buffer
        std::fill(frame.begin(), frame.end(), 0x00123456u);
        doDemoAt(frame.data(), *t);
        ASSERT_EQ(frame, inOrder[*t]) << "t=" << *t << ", drawn backwards with another scene between";
    }
}
