// The picture converter as the build runs it: a PNG made here goes through the real png2src, and
// the generated source is read back with a plain C string-literal decoder written here.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "png_io.h"
#include "process.h"

namespace {

std::string readText(const std::filesystem::path& path) {
    std::stringstream text;
    text << std::ifstream(path, std::ios::binary).rdbuf();
    return text.str();
}

// The bytes of the adjacent string literals after the definition's '=', up to the ';', read as C
// reads them (octal and one-character escapes), then the literal's own terminating zero.
std::vector<uint8_t> decodeLiterals(const std::string& s) {
    std::vector<uint8_t> bytes;
    bool inside = false;
    for (size_t i = s.find('='); i < s.size() && (inside || s[i] != ';'); ++i) {
        if (s[i] == '"') {
            inside = !inside;
        } else if (inside && s[i] != '\\') {
            bytes.push_back(uint8_t(s[i]));
        } else if (inside) {
            int value = 0, digits = 0;
            while (digits < 3 && s[i + 1] >= '0' && s[i + 1] <= '7') value = value * 8 + (s[++i] - '0'), ++digits;
            if (digits == 0) value = std::string("\\\"?'\a\b\f\n\r\t\v").at(std::string("\\\"?'abfnrtv").find(s[++i]));
            bytes.push_back(uint8_t(value));
        }
    }
    bytes.push_back(0);
    return bytes;
}

// A 3 x 2 picture whose bytes include everything a literal needs care with: zero, quote,
// backslash, question mark, a newline, digits right after an escape, and the top of the range;
// and a 2 x 1 RGB picture, which comes out as opaque RGBA.
TEST(Png2src, KeepsRedGreenBlueAlphaRowMajorAndATrailingZero) {
    const std::string dir = makeTempFolder() + "/";
    const std::vector<uint8_t> rgba = {
        0x35, 0x29, 0xA4, 0xFF,  '"', '\\', '?', 0x80,   0x00, '1', '2', '3',
        '\n', 0xFF, 0x00, 0x07,  0x01, 'a', '0', 0x7F,   0xFE, 0x10, 0x20, 0x00};
    const std::vector<uint8_t> rgb = {10, 20, 30, 40, 50, 60};
    std::string error;
    ASSERT_TRUE(writePng(dir + "tiny.png", 3, 2, 4, rgba.data(), error)) << error;
    ASSERT_TRUE(writePng(dir + "rgb.png", 2, 1, 3, rgb.data(), error)) << error;
    for (const std::string name : {"tiny", "rgb"}) {
        const ProcessResult run = runProcess({PNG2SRC, dir + name + ".png", name, dir + name + ".cpp"});
        ASSERT_EQ(run.status, 0) << run.output;
    }
    const std::string source = readText(dir + "tiny.cpp");
    EXPECT_EQ(source.rfind("// generated, do not edit", 0), 0u);
    EXPECT_NE(source.find("const uint8_t tiny[3 * 2 * 4 + 1] ="), std::string::npos);
    std::vector<uint8_t> expected = rgba;
    expected.push_back(0);
    EXPECT_EQ(decodeLiterals(source), expected);
    EXPECT_EQ(decodeLiterals(readText(dir + "rgb.cpp")), (std::vector<uint8_t>{10, 20, 30, 255, 40, 50, 60, 255, 0}));
    EXPECT_FALSE(std::filesystem::exists(dir + "tiny.cpp.tmp"));
    std::filesystem::remove_all(dir);
}

// Bad calls fail with a message saying why, status 1 (2 for a wrong argument count), and write nothing.
TEST(Png2src, BadCallsFailWithAMessageAndWriteNothing) {
    const std::string dir = makeTempFolder() + "/", out = dir + "out.cpp";
    std::ofstream(dir + "text.png") << "this is not a picture\n";
    const std::vector<uint8_t> rgba(4, 0);
    std::string error;
    ASSERT_TRUE(writePng(dir + "one.png", 1, 1, 4, rgba.data(), error)) << error;
    const struct {
        std::vector<std::string> args;
        int status;
        const char* message;
    } cases[] = {{{PNG2SRC, dir + "none.png", "none", out}, 1, "none.png"},
                 {{PNG2SRC, dir + "text.png", "text", out}, 1, "png2src:"},
                 {{PNG2SRC, dir + "one.png", "9lives", out}, 1, "identifier"},
                 {{PNG2SRC, dir + "one.png", "one", dir + "missing/one.cpp"}, 1, "missing"},
                 {{PNG2SRC, "only-one-argument"}, 2, "usage"}};
    for (const auto& c : cases) {
        const ProcessResult run = runProcess(c.args);
        EXPECT_EQ(run.status, c.status) << ::testing::PrintToString(c.args);
        EXPECT_NE(run.output.find(c.message), std::string::npos) << run.output;
    }
    EXPECT_FALSE(std::filesystem::exists(out));
    std::filesystem::remove_all(dir);
}

}  // namespace
