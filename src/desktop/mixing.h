// mixing.h: how the door keeps the song mixed ahead of the player, in one of two ways chosen by the
// processors the program may run on. With two or more, the whole song on a thread of its own from
// the start, kept in memory (21 MB), so that a seek anywhere is only a new position. With one (the
// device), mixing on a thread would take its time from the frames: the frame loop mixes the song a
// few chunks at each pass, a second ahead of the player, in a ring of two seconds (353 KB), and a
// seek waits while the song is mixed up to its target (from the song's start, when it lies before
// what the ring keeps), which the picture shows.
#pragma once
#include <cstdint>
#include <string>

#include "song/player.h"
#include "song/song.h"

// Opens the song (the file moduleSearch found) and starts mixing it in the way the processors call
// for. On failure, libmikmod's reason.
SongOpen startMixing(const std::string& module, std::string& reason);
// Ends the mixing and frees the song: after closeSound, once no output reads it.
void stopMixing();

// Whether the song is mixed a few chunks at each pass of the frame loop (one processor).
bool mixingInSteps();

// At each pass of the frame loop: with one processor, the song the next passes need.
void mixStep(const SongPlayer& player);

// With one processor, a move to sample frame `frame`, the player already there and silent: mixes
// on toward the song it needs from there for at most `budget` milliseconds, and answers whether it
// is all there. The first call for a new target rewinds the song when the ring no longer keeps
// it. `permille` says how far the mixing has got toward the target. Failed when the module no longer loads for the
// rewind (libmikmod's reason).
enum class MoveMixing { waiting, ready, failed };
MoveMixing mixForMove(const SongPlayer& player, int64_t frame, uint32_t budget, int& permille, std::string& reason);
