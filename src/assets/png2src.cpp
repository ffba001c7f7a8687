// png2src.cpp: the build's picture converter: one PNG in, one C++ source out holding the picture
// as a Picture array (width * height * 4 bytes red, green, blue, alpha, row-major, then one zero byte).
// The layout must agree with src/assets/pictures.h and every reader of the pictures.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "png_io.h"

static const char kUsage[] =
    "usage: png2src INPUT.png NAME OUTPUT.cpp\n"
    "  Writes OUTPUT.cpp defining `const uint8_t NAME[w * h * 4 + 1]`, the PNG's pixels as bytes\n"
    "  red, green, blue, alpha, row-major, followed by one zero byte.\n";

static bool isIdentifier(const std::string& name) {
    if (name.empty() || (name[0] >= '0' && name[0] <= '9')) return false;
    for (char c : name)
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_'))
            return false;
    return true;
}

// One string literal per run of bytes. Printable characters stand as themselves; everything else,
// and the characters that would need care (backslash, quote, question mark), as three-digit octal
// escapes, which never swallow a following digit. The literal's own terminator is the zero byte.
static void appendLiteral(std::string& out, const uint8_t* bytes, size_t count) {
    static constexpr size_t kBytesPerLine = 96;
    for (size_t start = 0; start < count; start += kBytesPerLine) {
        const size_t end = std::min(count, start + kBytesPerLine);
        out += '"';
        for (size_t i = start; i < end; ++i) {
            const uint8_t b = bytes[i];
            if (b >= 0x20 && b < 0x7f && b != '\\' && b != '"' && b != '?') {
                out += static_cast<char>(b);
            } else {
                out += '\\';
                out += static_cast<char>('0' + (b >> 6));
                out += static_cast<char>('0' + ((b >> 3) & 7));
                out += static_cast<char>('0' + (b & 7));
            }
        }
        out += "\"\n";
    }
}

static int fail(const std::string& message) {
    fprintf(stderr, "png2src: %s\n", message.c_str());
    return 1;
}

int main(int argc, char** argv) {
    if (argc != 4) {
        fprintf(stderr, "%s", kUsage);
        return 2;
    }
    const std::string input = argv[1], name = argv[2], output = argv[3];
    if (!isIdentifier(name)) return fail("'" + name + "' is not a C++ identifier");

    RgbaImage image;
    std::string error;
    if (!readPng(input, image, error)) return fail(error);

    const size_t bytes = static_cast<size_t>(image.width) * image.height * 4;
    const std::string size = std::to_string(image.width) + " * " + std::to_string(image.height) + " * 4 + 1";
    std::string text;
    text.reserve(bytes * 3);
    const size_t slash = input.find_last_of('/');
    const std::string pngName = slash == std::string::npos ? input : input.substr(slash + 1);
    text += "// generated, do not edit: " + name + " from " + pngName + " by png2src\n";
    text += "#include \"assets/pictures.h\"\n\n";
    text += "const uint8_t " + name + "[" + size + "] =\n";
    appendLiteral(text, image.rgba.data(), bytes);
    text += ";\n";

    // Written beside the target and renamed into place, so a failed run leaves no half source.
    const std::string temporary = output + ".tmp";
    FILE* file = fopen(temporary.c_str(), "wb");
    if (file == nullptr) return fail(temporary + ": " + strerror(errno));
    const bool written = fwrite(text.data(), 1, text.size(), file) == text.size();
    if (fclose(file) != 0 || !written) {
        remove(temporary.c_str());
        return fail(temporary + ": write failed");
    }
    if (rename(temporary.c_str(), output.c_str()) != 0) {
        remove(temporary.c_str());
        return fail(output + ": " + strerror(errno));
    }
    return 0;
}
