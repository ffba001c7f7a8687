// render.cpp: draws show times offline, without SDL, MikMod or a display, into PNG or raw files.
#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "2d/frame.h"
#include "demo/demo.h"
#include "png_io.h"

static const char kUsage[] =
    "usage: render --times T1,T2,... [--range A:B:STEP] [--continuous] --format png|raw --out DIR\n"
    "  Draws the listed show times (milliseconds) in the order given, then A, A+STEP, ... below B,\n"
    "  on one frame buffer that carries over from frame to frame as the show's screen does.\n"
    "  --continuous: each time as a continuous run at 60 frames a second from the start shows it,\n"
    "  the run's frames before it drawn (not written) first; the times must rise.\n"
    "  Writes DIR/<t>.png (320x240 RGB) or DIR/<t>.raw (76800 little-endian 32-bit words).\n"
    "  At least one of --times and --range is needed.\n";

static int usage(const char* problem) {
    fprintf(stderr, "render: %s\n%s", problem, kUsage);
    return 2;
}

// A whole decimal number in the 32-bit range, nothing else.
static bool parseTime(const std::string& text, int32_t& value) {
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    const long long parsed = strtoll(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || !(text[0] == '-' || (text[0] >= '0' && text[0] <= '9')))
        return false;
    if (parsed < INT32_MIN || parsed > INT32_MAX) return false;
    value = static_cast<int32_t>(parsed);
    return true;
}

static bool split(const std::string& text, char separator, std::vector<std::string>& parts) {
    parts.clear();
    size_t start = 0;
    for (;;) {
        const size_t at = text.find(separator, start);
        parts.push_back(text.substr(start, at - start));
        if (at == std::string::npos) return true;
        start = at + 1;
    }
}

static bool writeRaw(const std::string& path, const uint32_t* frame, std::string& error) {
    std::vector<uint8_t> bytes(kPixels * 4);
    for (int i = 0; i < kPixels; ++i)
        for (int b = 0; b < 4; ++b) bytes[4 * i + b] = static_cast<uint8_t>(frame[i] >> (8 * b));
    FILE* file = fopen(path.c_str(), "wb");
    if (file == nullptr) {
        error = path + ": " + strerror(errno);
        return false;
    }
    const bool written = fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    const bool closed = fclose(file) == 0;
    if (!written || !closed) error = path + ": write failed";
    return written && closed;
}

static bool writeFramePng(const std::string& path, const uint32_t* frame, std::string& error) {
    std::vector<uint8_t> rgb(kPixels * 3);
    for (int i = 0; i < kPixels; ++i) {
        rgb[3 * i] = static_cast<uint8_t>(frame[i] >> 16);
        rgb[3 * i + 1] = static_cast<uint8_t>(frame[i] >> 8);
        rgb[3 * i + 2] = static_cast<uint8_t>(frame[i]);
    }
    return writePng(path, kWidth, kHeight, 3, rgb.data(), error);
}

int main(int argc, char** argv) {
    std::vector<int32_t> times;
    std::string format, out;
    bool haveTimes = false, haveRange = false, continuous = false;
    std::vector<std::string> parts;
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        if (option == "--continuous" && !continuous) {
            continuous = true;
            continue;
        }
        if (option != "--times" && option != "--range" && option != "--format" && option != "--out")
            return usage(("unknown option " + option).c_str());
        if (i + 1 >= argc) return usage(("missing value after " + option).c_str());
        const std::string value = argv[++i];
        if (option == "--times" && !haveTimes) {
            haveTimes = true;
            split(value, ',', parts);
            for (const std::string& part : parts) {
                int32_t t;
                if (!parseTime(part, t)) return usage(("not a time: '" + part + "'").c_str());
                times.push_back(t);
            }
        } else if (option == "--range" && !haveRange) {
            haveRange = true;
            split(value, ':', parts);
            int32_t from, below, step;
            if (parts.size() != 3 || !parseTime(parts[0], from) || !parseTime(parts[1], below) ||
                !parseTime(parts[2], step) || step <= 0 || from >= below)
                return usage("--range wants A:B:STEP with A < B and STEP > 0");
            for (int64_t t = from; t < below; t += step) times.push_back(static_cast<int32_t>(t));
        } else if (option == "--format" && format.empty()) {
            if (value != "png" && value != "raw") return usage("--format is png or raw");
            format = value;
        } else if (option == "--out" && out.empty()) {
            if (value.empty()) return usage("--out needs a folder");
            out = value;
        } else {
            return usage(("unknown or repeated option " + option).c_str());
        }
    }
    if (!haveTimes && !haveRange) return usage("no times given");
    if (format.empty()) return usage("no --format given");
    if (out.empty()) return usage("no --out given");
    if (continuous && !std::is_sorted(times.begin(), times.end())) return usage("--continuous wants rising times");

    std::error_code code;
    std::filesystem::create_directories(out, code);
    if (code || !std::filesystem::is_directory(out)) {
        fprintf(stderr, "render: cannot create folder %s: %s\n", out.c_str(),
                code ? code.message().c_str() : "not a folder");
        return 1;
    }

    initDemo();
    std::vector<uint32_t> frame(kPixels, 0);  // all zero at first, then carried over
    int64_t run = 0;  // the continuous run's next frame
    for (const int32_t t : times) {
        for (; continuous && frameTime60(run) < t; ++run) doDemoAt(frame.data(), frameTime60(run));
        doDemoAt(frame.data(), t);
        if (continuous && frameTime60(run) == t) ++run;  // that frame of the run was this one
        const std::string path = out + "/" + std::to_string(t) + "." + format;
        std::string error;
        const bool ok = format == "png" ? writeFramePng(path, frame.data(), error)
                                        : writeRaw(path, frame.data(), error);
        if (!ok) {
            fprintf(stderr, "render: cannot write %s\n", error.c_str());
            return 1;
        }
    }
    return 0;
}
