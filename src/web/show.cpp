// show.cpp: the show's program in a web page, a set of calls the page (page.js) makes: mix the
// song in slices, hand it over as 16-bit samples for the WAV file the page's media element plays,
// and draw the frame for a show time into an RGBA picture the page puts on the canvas. The page
// owns the clock and the frame loop; nothing here waits or loops by itself.
#include <emscripten.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "2d/frame.h"
#include "demo/demo.h"
#include "song/song.h"

namespace {

uint32_t gFrame[kPixels];    // the show's single buffer: each frame starts from the last
uint32_t gCanvas[kPixels];   // the same frame in the canvas's byte order, red first, opaque
bool gSongOpen = false;
BlurRun gBlurRun;            // the radial blur's run kept at every second, for seeks into it

// The most sample frames the page takes at once (sound.js asks mostSongFrames).
constexpr int kMostFrames = 1 << 15;
int16_t gMixed[2 * kMostFrames];

// Copies the frame to the canvas words: the show's 0x00RRGGBB becomes bytes R, G, B, 255.
void toCanvas() {
    for (int i = 0; i < kPixels; ++i) {
        const uint32_t p = gFrame[i];
        gCanvas[i] = ((p >> 16) & 0xFFu) | (p & 0xFF00u) | ((p & 0xFFu) << 16) | 0xFF000000u;
    }
}

}  // namespace

extern "C" {

// The canvas picture (kWidth x kHeight RGBA bytes).
EMSCRIPTEN_KEEPALIVE const uint32_t* canvasPixels() { return gCanvas; }
EMSCRIPTEN_KEEPALIVE int mostSongFrames() { return kMostFrames; }

// Mixes the song on for at most `budget` milliseconds (whole chunks of 735 frames, about 0.1 ms
// each here). Returns the sample frames mixed by then.
EMSCRIPTEN_KEEPALIVE double mixSongFor(double budget) {
    if (!gSongOpen) return 0;
    const double until = emscripten_get_now() + budget;
    while (songLength() < 0 && emscripten_get_now() < until) mixSongUntil(songMixed() + kPlayChunk);
    return double(songMixed());
}

// The song's length in sample frames, -1 until its end has been mixed.
EMSCRIPTEN_KEEPALIVE double songFrames() { return double(songLength()); }

// Copies up to `frames` (at most mostSongFrames) mixed stereo frames from sample frame `from` into
// mixedSamples, 16-bit left and right interleaved, as a WAV file holds them; returns how many.
EMSCRIPTEN_KEEPALIVE const int16_t* mixedSamples() { return gMixed; }
EMSCRIPTEN_KEEPALIVE int copySong(double from, int frames) {
    if (frames < 0 || frames > kMostFrames) return 0;
    return songCopy(int64_t(from), gMixed, frames);
}

// Keeps the radial blur's run for at most `budget` milliseconds (a few frames at a time, about
// 0.3 ms each here); answers whether more is left to keep. A seek into the blur then draws at most
// a second of it from the latest frame kept before it.
EMSCRIPTEN_KEEPALIVE int keepBlurFor(double budget) {
    const double until = emscripten_get_now() + budget;
    bool more = true;
    while (more && emscripten_get_now() < until) more = keepBlurRun(gBlurRun, 4);
    return more;
}

// Draws show time t into the canvas picture: over the last frame while playing on, or exactly as
// a continuous run has it (afterSeek) for the first frame after a start, a seek or a replay.
EMSCRIPTEN_KEEPALIVE void drawFrame(int32_t t, int afterSeek) {
    if (afterSeek)
        drawAfterSeek(gFrame, t, gBlurRun);
    else
        doDemoAt(gFrame, t);
    toCanvas();
}

// For the page's tests: show time t over the current frame, black first when fromBlack is set.
EMSCRIPTEN_KEEPALIVE void drawShowTime(int32_t t, int fromBlack) {
    if (fromBlack) memset(gFrame, 0, sizeof gFrame);
    doDemoAt(gFrame, t);
    toCanvas();
}

// The show's windows for the seek bar's marks: how many, and each one's start and name.
EMSCRIPTEN_KEEPALIVE int windowCount() { return kShowWindowCount; }
EMSCRIPTEN_KEEPALIVE int32_t windowStart(int i) { return kShowWindows[i].start; }
EMSCRIPTEN_KEEPALIVE const char* windowName(int i) { return kShowWindows[i].name; }

}  // extern "C"

int main() {
    initDemo();
    std::string reason;
    gSongOpen = openSong("musa.xm", kPlayChunk, reason) == SongOpen::ok;
    if (!gSongOpen) {
        // The page words it; the detail goes underneath.
        EM_ASM({ Module.onShowFail('music', UTF8ToString($0)); }, reason.c_str());
        return 0;
    }
    memset(gFrame, 0, sizeof gFrame);
    toCanvas();  // black until the click
    EM_ASM({ Module.onShowReady(); });
    return 0;
}
