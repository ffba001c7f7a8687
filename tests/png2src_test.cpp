// The picture converter's failures, run as the build runs it. What it writes on success is checked
// where it counts: in the show's frames (frames_test), drawn from the arrays it wrote.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <tuple>
#include <vector>

#include "png_io.h"
#include "process.h"

namespace {

// Bad calls fail with a message saying why, status 1 (2 for a wrong argument count), and write nothing.
TEST(Png2src, BadCallsFailWithAMessageAndWriteNothing) {
    const std::string dir = makeTempFolder() + "/", out = dir + "out.cpp";
    std::ofstream(dir + "text.png") << "this is not a picture\n";
    const std::vector<uint8_t> rgba(4, 0);
    std::string error;
    ASSERT_TRUE(writePng(dir + "one.png", 1, 1, 4, rgba.data(), error)) << error;
    const std::tuple<std::vector<std::string>, int, const char*> cases[] = {{{PNG2SRC, dir + "none.png", "none", out}, 1, "none.png"},
                 {{PNG2SRC, dir + "text.png", "text", out}, 1, "png2src:"},
                 {{PNG2SRC, dir + "one.png", "9lives", out}, 1, "identifier"},
                 {{PNG2SRC, dir + "one.png", "one", dir + "missing/one.cpp"}, 1, "missing"},
                 {{PNG2SRC, "only-one-argument"}, 2, "usage"}};
    for (const auto& [args, status, message] : cases) {
        const ProcessResult run = runProcess(args);
        EXPECT_EQ(run.status, status) << ::testing::PrintToString(args);
        EXPECT_NE(run.output.find(message), std::string::npos) << run.output;
    }
    EXPECT_FALSE(std::filesystem::exists(out));
    std::filesystem::remove_all(dir);
}

}  // namespace
