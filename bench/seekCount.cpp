// seekCount.cpp: the work of a player's seek, for make bench-arm to count under qemu: for each
// show time given, the song mixed far enough past it to play from there (all of it before, on a
// player that has only just started), then the frame a seek lands on.
//   seek-count MODULE T1 [T2 ...]
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "2d/frame.h"
#include "demo/demo.h"
#include "song/song.h"

// What a player does on a seek to t, apart from moving its position: the song mixed on to half a
// second past it, then the frame. Each kept out of line, so that the counter can find where it
// starts and ends.
__attribute__((noinline)) void mixTo(int32_t t) { mixSongUntil(songFrameAt(t) + kMixRate / 2); }
__attribute__((noinline)) void drawAt(uint32_t* frame, int32_t t) { drawAfterSeek(frame, t); }

int main(int argc, char** argv) {
    if (argc < 3) {
        fprintf(stderr, "usage: seek-count MODULE T1 [T2 ...]\n");
        return 2;
    }
    std::string reason;
    if (openSong(argv[1], kPlayChunk, reason) != SongOpen::ok) {
        fprintf(stderr, "seek-count: %s: %s\n", argv[1], reason.c_str());
        return 1;
    }
    initDemo();
    std::vector<uint32_t> frame(kPixels, 0);
    for (int i = 2; i < argc; ++i) {
        mixTo(atoi(argv[i]));
        drawAt(frame.data(), atoi(argv[i]));
    }
    closeSong();
    return 0;
}
