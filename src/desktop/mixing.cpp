// mixing.cpp: the song mixed ahead of the player: all of it on a thread, or a step at each pass.
#include "mixing.h"

#include <SDL.h>
#ifdef __linux__
#include <sched.h>
#endif

#include <algorithm>
#include <thread>


constexpr int kRingSeconds = 2;            // the ring a processor of its own gets: 353 KB
constexpr int64_t kLead = kMixRate;        // mixed ahead of the player with one processor: a second
constexpr int kStepChunks = 4;             // at most per pass: a sixtieth of a second each, so a
                                           // loop that fell behind catches up within a few passes
static bool gInSteps = false;
static std::thread gMixer;
static int64_t gTarget = -1;    // the move being mixed for, and where the mixing stood when it began
static int64_t gMoveFrom = 0;

// The processors the program may run on: those it is bound to where the system says so (a
// process bound to one, as taskset does, runs as on a device of one), else those the machine has.
static int processors() {
#ifdef __linux__
    cpu_set_t set;
    if (sched_getaffinity(0, sizeof set, &set) == 0) return CPU_COUNT(&set);
#endif
    return int(std::max(1u, std::thread::hardware_concurrency()));
}

SongOpen startMixing(const std::string& module, std::string& reason) {
    gInSteps = processors() < 2;
    gTarget = -1;
    const SongOpen opened = openSong(module, kPlayChunk, reason, gInSteps ? kRingSeconds : 0);
    if (opened == SongOpen::ok && !gInSteps) gMixer = std::thread([] { mixSongUntil(INT64_MAX); });
    return opened;
}

void stopMixing() {
    closeSong();  // ends the mixer thread's work too
    if (gMixer.joinable()) gMixer.join();
}

bool mixingInSteps() { return gInSteps; }

void mixStep(const SongPlayer& player) {
    if (gInSteps) mixAhead(player, player.position.load() + kLead, kStepChunks);
}

MoveMixing mixForMove(const SongPlayer& player, int64_t frame, uint32_t budget, int& permille, std::string& reason) {
    const int64_t wanted = frame + kLead;
    if (frame != gTarget) {
        gTarget = frame;
        if (gInSteps && frame < songMixed() - songKept() && !rewindSong(reason)) return MoveMixing::failed;
        gMoveFrom = songMixed();
    }
    const uint32_t start = SDL_GetTicks();
    while (songMixed() < wanted && songLength() < 0 && SDL_GetTicks() - start < budget) mixAhead(player, wanted, 1);
    const int64_t mixed = songMixed();
    permille = int(std::clamp<int64_t>((mixed - gMoveFrom) * 1000 / std::max<int64_t>(1, wanted - gMoveFrom), 0, 1000));
    if (mixed < wanted && songLength() < 0) return MoveMixing::waiting;
    gTarget = -1;
    return MoveMixing::ready;
}
