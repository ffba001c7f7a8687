// The picture converter as the build runs it: a PNG made here goes through the real png2src, and
// the generated source is read back with a plain C string-literal decoder written here.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "png_io.h"

namespace {

namespace fs = std::filesystem;

struct ToolRun {
    int status;
    std::string output;  // what the tool printed on stderr
};

ToolRun png2src(const std::string& args) {
    const fs::path log = fs::temp_directory_path() / "png2src_test.log";
    const std::string command = std::string(PNG2SRC) + " " + args + " 2> " + log.string();
    const int raw = std::system(command.c_str());
    std::ifstream in(log);
    std::stringstream text;
    text << in.rdbuf();
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, text.str()};
}

std::string readText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Decodes every adjacent string literal after the '=' of the definition, up to the ';'.
std::vector<uint8_t> decodeLiterals(const std::string& source) {
    std::vector<uint8_t> bytes;
    size_t i = source.find('=');
    if (i == std::string::npos) return bytes;
    for (++i; i < source.size() && source[i] != ';'; ++i) {
        if (source[i] != '"') continue;
        for (++i; source[i] != '"'; ++i) {
            if (source[i] != '\\') {
                bytes.push_back(static_cast<uint8_t>(source[i]));
                continue;
            }
            const char c = source[++i];
            if (c >= '0' && c <= '7') {
                int value = 0, digits = 0;
                while (digits < 3 && source[i] >= '0' && source[i] <= '7') value = value * 8 + (source[i++] - '0'), ++digits;
                --i;
                bytes.push_back(static_cast<uint8_t>(value));
            } else if (c == 'x') {
                int value = 0;
                while (isxdigit(static_cast<unsigned char>(source[i + 1])))
                    value = value * 16 + std::stoi(std::string(1, source[++i]), nullptr, 16);
                bytes.push_back(static_cast<uint8_t>(value));
            } else {
                const std::string from = "\\\"?'abfnrtv", to = "\\\"?'\a\b\f\n\r\t\v";
                bytes.push_back(static_cast<uint8_t>(to[from.find(c)]));
            }
        }
    }
    bytes.push_back(0);  // the literal's own terminator, which the array keeps as its last byte
    return bytes;
}

class Png2src : public ::testing::Test {
protected:
    fs::path dir = fs::temp_directory_path() / ("png2src_test_" + std::to_string(::getpid()));
    void SetUp() override { fs::create_directories(dir); }
    void TearDown() override { fs::remove_all(dir); }
};

// A 3 x 2 picture whose bytes include everything a literal needs care with: zero, quote,
// backslash, question mark, a newline, digits right after an escape, and the top of the range.
TEST_F(Png2src, KeepsRedGreenBlueAlphaRowMajorAndATrailingZero) {
    const std::vector<uint8_t> rgba = {
        0x35, 0x29, 0xA4, 0xFF,  '"', '\\', '?', 0x80,   0x00, '1', '2', '3',
        '\n', 0xFF, 0x00, 0x07,  0x01, 'a', '0', 0x7F,   0xFE, 0x10, 0x20, 0x00};
    std::string error;
    ASSERT_TRUE(writePng((dir / "tiny.png").string(), 3, 2, 4, rgba.data(), error)) << error;
    const ToolRun run = png2src((dir / "tiny.png").string() + " tiny " + (dir / "tiny.cpp").string());
    ASSERT_EQ(run.status, 0) << run.output;

    const std::string source = readText(dir / "tiny.cpp");
    EXPECT_EQ(source.rfind("// generated, do not edit", 0), 0u);
    EXPECT_NE(source.find("const uint8_t tiny[3 * 2 * 4 + 1] ="), std::string::npos);
    std::vector<uint8_t> expected = rgba;
    expected.push_back(0);
    EXPECT_EQ(decodeLiterals(source), expected);
    EXPECT_FALSE(fs::exists(dir / "tiny.cpp.tmp"));
}

// Grey, palette and 16-bit PNGs all come out as 8-bit RGBA, through libpng's own expansion.
TEST_F(Png2src, ExpandsRgbToOpaqueRgba) {
    const std::vector<uint8_t> rgb = {10, 20, 30, 40, 50, 60};
    std::string error;
    ASSERT_TRUE(writePng((dir / "rgb.png").string(), 2, 1, 3, rgb.data(), error)) << error;
    const ToolRun run = png2src((dir / "rgb.png").string() + " rgb " + (dir / "rgb.cpp").string());
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(decodeLiterals(readText(dir / "rgb.cpp")), (std::vector<uint8_t>{10, 20, 30, 255, 40, 50, 60, 255, 0}));
}

TEST_F(Png2src, MissingInputFailsWithAMessageAndWritesNothing) {
    const ToolRun run = png2src((dir / "none.png").string() + " none " + (dir / "none.cpp").string());
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.output.find("none.png"), std::string::npos) << run.output;
    EXPECT_FALSE(fs::exists(dir / "none.cpp"));
}

TEST_F(Png2src, NotAPngFailsWithAMessage) {
    std::ofstream(dir / "text.png") << "this is not a picture\n";
    const ToolRun run = png2src((dir / "text.png").string() + " text " + (dir / "text.cpp").string());
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.output.find("png2src:"), std::string::npos) << run.output;
    EXPECT_FALSE(fs::exists(dir / "text.cpp"));
}

TEST_F(Png2src, RejectsANameThatIsNotAnIdentifier) {
    const std::vector<uint8_t> rgba(4, 0);
    std::string error;
    ASSERT_TRUE(writePng((dir / "one.png").string(), 1, 1, 4, rgba.data(), error)) << error;
    const ToolRun run = png2src((dir / "one.png").string() + " 9lives " + (dir / "one.cpp").string());
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.output.find("identifier"), std::string::npos) << run.output;
}

TEST_F(Png2src, WrongArgumentsGiveUsage) {
    const ToolRun run = png2src("only-one-argument");
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.output.find("usage"), std::string::npos) << run.output;
}

TEST_F(Png2src, UnwritableOutputFailsWithAMessage) {
    const std::vector<uint8_t> rgba(4, 0);
    std::string error;
    ASSERT_TRUE(writePng((dir / "one.png").string(), 1, 1, 4, rgba.data(), error)) << error;
    const ToolRun run = png2src((dir / "one.png").string() + " one " + (dir / "missing" / "one.cpp").string());
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.output.find("missing"), std::string::npos) << run.output;
}

}  // namespace
