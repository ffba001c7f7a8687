// captureSettings.h: the capture's command line, and the ffmpeg arguments for each kind of file.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

enum class VideoKind { mp4, lossless, gif };

struct CaptureSettings {
    std::string out;          // the video file; empty: none
    std::string audio;        // the song alone as a WAV file; empty: none
    std::string module;       // the song
    VideoKind kind = VideoKind::mp4;
    bool slow = false;        // x264's slower, better preset
    int fps = 60;
    int scale = 4;
    int32_t from = 0;         // show times, milliseconds: frames from <= t < to
    int32_t to = INT32_MAX;   // INT32_MAX: to the end of the song
};

// Reads the command line. False, with the problem, on anything but a valid set of options.
bool parseCaptureArgs(int argc, char** argv, CaptureSettings& settings, std::string& problem);

extern const char kCaptureUsage[];

// The ffmpeg command line after "ffmpeg": frames from stdin (when there is a video file), the
// song from pipe:3, the chapters from pipe:4 (for an MP4 or Matroska file), and one output per
// file, written to the temporary names given.
std::vector<std::string> ffmpegArgs(const CaptureSettings& settings, const std::string& videoTemp,
                                    const std::string& audioTemp);
