// chapters.h: the show's scenes as a video file's chapters, in ffmpeg's metadata format.
#pragma once
#include <cstdint>
#include <string>

// Show time of frame n at `fps`, floored: 0, 16, 33, 50, 66, ... at 60 fps.
constexpr int32_t frameTime(int64_t n, int fps) { return int32_t(n * 1000 / fps); }
// The first frame n whose show time is at least t.
constexpr int firstFrameFrom(int64_t t, int fps) { return int((t * fps + 999) / 1000); }

// An FFMETADATA file: the show's title, and a chapter for each scene of the timeline (src/demo, the
// names the page's seek bar and the desktop's title use) with a frame among first to end - 1,
// clipped to them: from its first frame to the next scene's, counted in frames from `first`.
std::string chapterMetadata(int first, int end, int fps);
