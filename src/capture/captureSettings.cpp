// captureSettings.cpp: the capture's options and the encoder settings each kind of file gets.
#include "captureSettings.h"

#include <bit>
#include <cerrno>
#include <cstdlib>
#include <filesystem>

#include "2d/frame.h"
#include "song/song.h"

namespace {

constexpr int kMaxScale = 8;  // 2560 x 1920, the 4K class

// H.264 at CRF 18 with "veryfast": the whole show at 1280 x 960 in about 190 s of CPU time, 90 MB,
// frames 37 to 40 dB from the drawn ones in the plasma. "slow" at CRF 16 gains about 2 dB for four
// times the time.
constexpr const char* kFastPreset = "veryfast";
constexpr const char* kSlowPreset = "slow";
constexpr const char* kFastCrf = "18";
constexpr const char* kSlowCrf = "16";
constexpr const char* kAacRate = "256k";

bool parseWhole(const std::string& text, long long low, long long high, long long& value) {
    if (text.empty() || !(text[0] >= '0' && text[0] <= '9')) return false;
    char* end = nullptr;
    errno = 0;
    value = strtoll(text.c_str(), &end, 10);
    return errno == 0 && *end == '\0' && value >= low && value <= high;
}

std::string scaleFilter(int scale) {
    const std::string n = std::to_string(scale);
    return "scale=iw*" + n + ":ih*" + n + ":flags=neighbor";
}

}  // namespace

const char kCaptureUsage[] =
    "usage: capture --out FILE [options]      the show as a video file with its music\n"
    "       capture --audio FILE.wav [options]  the song alone\n"
    "  --out FILE        H.264 + AAC in MP4 (with --lossless: FFV1 + FLAC in Matroska; with --gif:\n"
    "                    an animated GIF without sound), written whatever the name's extension\n"
    "  --audio FILE.wav  also (or only) the song as 16-bit stereo WAV at 44100 Hz\n"
    "  --fps 50|60       frames a second (default 60; a GIF is always 50)\n"
    "  --scale N         whole-number nearest-neighbour scale, 1 to 8 (default 4: 1280x960;\n"
    "                    1 with --lossless or --gif)\n"
    "  --from MS --to MS only the frames whose show time t is from <= t < to\n"
    "  --lossless        an exact archival file: decoded, it gives back the drawn pixels\n"
    "  --gif             a looping animated GIF, for a short excerpt\n"
    "  --slow            x264's slow preset at a finer quality: about four times as long\n"
    "  --module FILE     the song (default musa.xm, else assets/musa.xm)\n";

bool parseCaptureArgs(int argc, char** argv, CaptureSettings& s, std::string& problem) {
    bool haveScale = false, haveFps = false;
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        if (option == "--lossless" || option == "--gif") {
            if (s.kind != VideoKind::mp4) return problem = "choose one of --lossless and --gif", false;
            s.kind = option == "--gif" ? VideoKind::gif : VideoKind::lossless;
            continue;
        }
        if (option == "--slow") {
            s.slow = true;
            continue;
        }
        if (i + 1 >= argc) return problem = "missing value after " + option, false;
        const std::string value = argv[++i];
        long long number = 0;
        if (option == "--out" && s.out.empty() && !value.empty()) {
            s.out = value;
        } else if (option == "--audio" && s.audio.empty() && !value.empty()) {
            s.audio = value;
        } else if (option == "--module" && s.module.empty() && !value.empty()) {
            s.module = value;
        } else if (option == "--fps" && !haveFps) {
            if (value != "50" && value != "60") return problem = "--fps is 50 or 60", false;
            s.fps = std::stoi(value);
            haveFps = true;
        } else if (option == "--scale" && !haveScale) {
            if (!parseWhole(value, 1, kMaxScale, number)) return problem = "--scale is a whole number from 1 to 8", false;
            s.scale = int(number);
            haveScale = true;
        } else if (option == "--from" || option == "--to") {
            if (!parseWhole(value, 0, INT32_MAX - 1, number)) return problem = option + " wants milliseconds", false;
            (option == "--from" ? s.from : s.to) = int32_t(number);
        } else {
            return problem = "unknown or repeated option " + option, false;
        }
    }
    if (s.out.empty() && s.audio.empty()) return problem = "nothing to write: give --out or --audio", false;
    if (s.from >= s.to) return problem = "--from must come before --to", false;
    if (s.kind == VideoKind::gif) {
        if (haveFps && s.fps != 50) return problem = "a GIF counts time in hundredths: --fps 50 only", false;
        s.fps = 50;
    }
    if (s.kind != VideoKind::mp4 && !haveScale) s.scale = 1;
    if (s.module.empty()) s.module = std::filesystem::exists("musa.xm") ? "musa.xm" : "assets/musa.xm";
    return true;
}

std::vector<std::string> ffmpegArgs(const CaptureSettings& s, const std::string& videoTemp,
                                    const std::string& audioTemp) {
    const bool little = std::endian::native == std::endian::little;
    const bool video = !s.out.empty();
    const bool videoAudio = video && s.kind != VideoKind::gif;
    std::vector<std::string> a = {"-hide_banner", "-loglevel", "error", "-nostdin", "-y"};
    int input = 0;
    std::string videoInput, audioInput;
    if (video) {
        // Frame words are 0x00RRGGBB: bytes B, G, R, 0 in memory on a little-endian machine.
        a.insert(a.end(), {"-f", "rawvideo", "-pix_fmt", little ? "bgr0" : "0rgb", "-video_size",
                           std::to_string(kWidth) + "x" + std::to_string(kHeight), "-framerate",
                           std::to_string(s.fps), "-i", "pipe:0"});
        videoInput = std::to_string(input++) + ":v";
    }
    if (videoAudio || !s.audio.empty()) {
        a.insert(a.end(), {"-f", little ? "s16le" : "s16be", "-ar", std::to_string(kMixRate), "-ac", "2",
                           "-i", "pipe:3"});
        audioInput = std::to_string(input++) + ":a";
    }
    // The title and the scenes as chapters (chapters.cpp), for the files that carry them.
    std::vector<std::string> chapters;
    if (videoAudio) {
        a.insert(a.end(), {"-f", "ffmetadata", "-i", "pipe:4"});
        const std::string metadataInput = std::to_string(input++);
        chapters = {"-map_metadata", metadataInput, "-map_chapters", metadataInput};
    }
    if (video) {
        if (s.kind != VideoKind::gif) a.insert(a.end(), {"-map", videoInput});
        if (videoAudio) a.insert(a.end(), {"-map", audioInput});
        a.insert(a.end(), chapters.begin(), chapters.end());
        switch (s.kind) {
        case VideoKind::mp4:
            // Whole-pixel scaling, then BT.709 limited range, the matrix HD players assume, said
            // in the stream too. At an even scale each 2x2 chroma block lies inside one pixel.
            a.insert(a.end(), {"-vf", scaleFilter(s.scale) + ":out_color_matrix=bt709:out_range=tv,format=yuv420p",
                               "-c:v", "libx264", "-preset", s.slow ? kSlowPreset : kFastPreset, "-crf", s.slow ? kSlowCrf : kFastCrf,
                               "-colorspace", "bt709", "-color_primaries", "bt709", "-color_trc", "bt709",
                               "-color_range", "tv", "-c:a", "aac", "-b:a", kAacRate, "-movflags", "+faststart",
                               "-f", "mp4", videoTemp});
            break;
        case VideoKind::lossless:
            if (s.scale > 1) a.insert(a.end(), {"-vf", scaleFilter(s.scale)});
            a.insert(a.end(), {"-c:v", "ffv1", "-level", "3", "-c:a", "flac", "-f", "matroska", videoTemp});
            break;
        case VideoKind::gif:
            // One palette for the whole excerpt, taken from what changes; ordered dithering keeps
            // still areas still from frame to frame, so the file stays small.
            a.insert(a.end(), {"-filter_complex",
                               "[" + videoInput + "]" + scaleFilter(s.scale) +
                                   ",split[a][b];[a]palettegen=stats_mode=diff[p];"
                                   "[b][p]paletteuse=dither=bayer:bayer_scale=3:diff_mode=rectangle[gif]",
                               "-map", "[gif]", "-loop", "0", "-f", "gif", videoTemp});
            break;
        }
    }
    if (!s.audio.empty())
        a.insert(a.end(), {"-map", audioInput, "-c:a", "pcm_s16le", "-f", "wav", audioTemp});
    return a;
}
