// recording_check.cpp: build/recording-check, the judgement of a recorded run (recording.h) for
// every door: the desktop's playback test, the browser test and the Windows check.
//   recording-check RUN.json      prints what it found as JSON on standard output
//   recording-check --click FILE  writes the click (raw 16-bit stereo at 44,100 Hz) to play into the sink
// RUN.json: recording (raw 16-bit stereo at 44,100 Hz), song (the reference mix, WAV), serverLog
// (PulseAudio's at debug level, or pipewire-pulse's), clicks (the clicks' wall times, s: a group
// before the run and a group after), runStart (s), settle (s an action's sound may take to
// arrive), moves ({what: start|pause|resume|seek|replay, wall, song: song frame it goes to or
// null}), frames ({wall, grid: 64 pixels as RRGGBB hex}), cuts ({ms, before, at: the grids just
// before the cut and at it}), and optionally arrivals ([wall, frames in the recording's file then],
// which tie the recording to the wall clock stretch by stretch where the server falls behind now
// and then).
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iostream>

#include "recording.h"

using namespace recording;
using nlohmann::json;

namespace {

std::array<uint32_t, kGrid> gridOf(const std::string& hex) {
    std::array<uint32_t, kGrid> grid{};
    for (int i = 0; i < kGrid && size_t(6 * i + 6) <= hex.size(); ++i) grid[i] = uint32_t(std::stoul(hex.substr(6 * i, 6), nullptr, 16));
    return grid;
}

json check(const json& run) {
    const std::vector<float> heard = mono(readRaw(run.at("recording"))), song = mono(readWav(run.at("song")));
    json out;
    out["recorded"] = double(heard.size()) / kRate;
    // First, so that a run whose recording cannot be read still tells whether the machine starved;
    // where the server's log clock is known, over the run alone (from its start to a settle after
    // its last move), not the browser's start or its closing.
    const double runStart = run.at("runStart"), settle = run.at("settle");
    double runEnd = runStart;
    for (const json& m : run.at("moves")) runEnd = std::max(runEnd, double(m.at("wall")) + settle);
    const double logClock = run.value("serverStart", 0.0);  // 0: the log is not stamped
    out["underruns"] = underruns(run.at("serverLog"), logClock > 0 ? runStart - logClock : -1e9, logClock > 0 ? runEnd - logClock : 1e9);
    const std::vector<double> walls = run.at("clicks");
    // A click whose stream ran dry as it played is broken, and cannot tie the recording to the
    // wall clock: the machine starved the test's own player.
    int clickUnderruns = 0;
    if (logClock > 0)
        for (const double wall : walls) clickUnderruns += underruns(run.at("serverLog"), wall - logClock - 1, wall - logClock + 1)["click"];
    else  // a log without its start: the click streams play only the clicks, so all of theirs
        clickUnderruns = out["underruns"].value("click", 0);
    out["clickUnderruns"] = clickUnderruns;
    ClockTie tie;
    std::string error;
    std::vector<std::pair<double, long>> arrivals;
    for (const json& a : run.value("arrivals", json::array())) arrivals.push_back({a.at(0), a.at(1)});
    const bool tied = arrivals.empty() ? tieClicks(heard, walls, tie, error) : tieArrivals(heard, walls, arrivals, tie, error);
    if (heard.empty() || song.empty() || !tied) {
        out["error"] = heard.empty() ? "no recording" : song.empty() ? "no song" : error;
        return out;
    }
    out["paceppm"] = (tie.perFrame() * kRate - 1) * 1e6;

    std::vector<Move> moves;
    std::vector<double> moveWalls;
    std::vector<std::pair<long, long>> targets;
    for (const json& m : run.at("moves")) {
        moves.push_back({m.at("what"), m.at("wall")});
        moveWalls.push_back(m.at("wall"));
        if (!m.at("song").is_null()) targets.push_back({m.at("song"), tie.frameAt(m.at("wall"))});
    }
    std::vector<Frame> frames;
    for (const json& f : run.at("frames")) frames.push_back({f.at("wall"), gridOf(f.at("grid"))});
    std::vector<Cut> cuts;
    for (const json& c : run.at("cuts")) cuts.push_back({c.at("ms"), gridOf(c.at("before")), gridOf(c.at("at"))});

    const std::vector<Probe> probes = followSong(heard, song, tie.at[0] + kRate / 5, tie.at[1] - kRate / 5, targets);
    out["probes"] = probes.size();
    out["found"] = std::count_if(probes.begin(), probes.end(), [](const Probe& p) { return p.kind == Probe::song; });
    // Where the song was found, [wall s, song frame heard then], for whoever looks into a run.
    out["heard"] = json::array();
    for (const Probe& p : probes)
        if (p.kind == Probe::song) out["heard"].push_back({tie.wallAt(p.at), p.at + p.lag});
    // Silence is expected from a pause until the next move.
    std::vector<std::pair<long, long>> quiet;
    for (size_t i = 0; i + 1 < moves.size(); ++i)
        if (moves[i].what == "pause") quiet.push_back({tie.frameAt(moveWalls[i]), tie.frameAt(moveWalls[i + 1])});
    if (!moves.empty() && moves.back().what == "pause") quiet.push_back({tie.frameAt(moveWalls.back()), long(heard.size())});
    out["breaks"] = json::array();
    out["breakWalls"] = json::array();
    const std::vector<Break> breaks = findBreaks(probes, moves, long(settle * kRate), quiet, long(song.size()), tie, runStart);
    for (const Break& b : breaks) out["breaks"].push_back(b.text), out["breakWalls"].push_back(b.wall);

    // Each pause followed by a resume: when its silence began, how long it was heard, and how far
    // the song went on from where it stopped (ms).
    out["pauses"] = json::array();
    for (size_t i = 0; i + 1 < moves.size(); ++i) {
        if (moves[i].what != "pause" || moves[i + 1].what != "resume") continue;
        const PauseHeard p = findPause(heard, song, probes, tie.frameAt(moveWalls[i]), tie.frameAt(moveWalls[i + 1]) + long(settle * kRate));
        if (p.from < 0) continue;
        out["pauses"].push_back({{"silenceAfter", (tie.wallAt(p.from) - moveWalls[i]) * 1000}, {"silent", double(p.to - p.from) / kRate},
                                 {"resumed", std::isnan(p.resumedMs) ? json() : json(p.resumedMs)}});
    }

    // No burst: from each start from the song's beginning, nothing louder than its first seconds.
    float songPeak = 0;
    for (long i = 0; i < 2 * kRate && i < long(song.size()); ++i) songPeak = std::max(songPeak, std::abs(song[i]));
    out["bursts"] = json::array();
    for (size_t i = 0; i < moves.size(); ++i) {
        if (run.at("moves")[i].at("song") != 0) continue;
        float peak = 0;
        const long from = std::max(0L, tie.frameAt(moveWalls[i]));
        for (long x = from; x < from + 2 * kRate && x < long(heard.size()); ++x) peak = std::max(peak, std::abs(heard[x]));
        if (peak > songPeak * 1.1f + 600) out["bursts"].push_back(moves[i].what + ": peak " + std::to_string(int(peak)) + ", the song's " + std::to_string(int(songPeak)));
    }

    // Each cut, and whether it was heard just after a break (up to a second and a half after it,
    // while a clock that follows the output settles); the median of the cuts.
    std::vector<double> offsets;
    out["cuts"] = json::array();
    for (const CutTiming& c : timeCuts(heard, song, probes, cuts, frames, moves, tie)) {
        const bool afterBreak = std::any_of(breaks.begin(), breaks.end(), [&](const Break& b) {
            return c.heardWall > b.wall - 0.5 && c.heardWall < b.wall + 1.5;  // a break is seen half a second late
        });
        out["cuts"].push_back({{"cut", c.cut}, {"after", c.afterMove}, {"wall", c.heardWall}, {"ms", c.clean ? json(c.ms) : json()}, {"clean", c.clean},
                               {"afterBreak", afterBreak}, {"frameGap", c.frameGap * 1000}});
        if (c.clean) offsets.push_back(c.ms);
    }
    out["median"] = median(offsets);

    out["responses"] = json::array();
    for (size_t i = 0; i < moves.size(); ++i) {
        const std::string& what = moves[i].what;
        const double next = i + 1 < moves.size() ? moveWalls[i + 1] : tie.walls[1];
        const Response r = respond(heard, song, probes, frames, tie, moveWalls[i], next, what == "pause", what != "pause" && what != "seek");
        const auto ms = [](double value) { return value > -1000 ? json(value) : json(); };  // null: not measurable
        out["responses"].push_back({{"what", what}, {"at", moveWalls[i] - runStart}, {"sound", ms(r.sound)}, {"picture", ms(r.picture)}});
    }

    // The frames: the longest wait between two (a starved machine), where no move was waiting for
    // its sound, during which the picture holds; the usual step; the rate over the first stretch of play.
    double longest = 0;
    std::vector<double> steps;
    for (size_t i = 1; i < frames.size(); ++i) {
        const double step = frames[i].wall - frames[i - 1].wall;
        if (step < 0.1) steps.push_back(step);
        if (std::none_of(moveWalls.begin(), moveWalls.end(), [&](double w) { return w > frames[i - 1].wall - settle && w <= frames[i].wall; }))
            longest = std::max(longest, step);
    }
    out["longestStall"] = longest;
    out["frameInterval"] = median(steps) * 1000;
    if (moveWalls.size() > 1) {
        const double from = moveWalls[0] + 2, to = moveWalls[1];
        const auto n = std::count_if(frames.begin(), frames.end(), [&](const Frame& f) { return f.wall >= from && f.wall < to; });
        out["fps"] = to > from ? double(n) / (to - from) : 0;
    }
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string usage = "usage: recording-check RUN.json | --click FILE\n";
    if (argc == 3 && std::string(argv[1]) == "--click") {
        const std::vector<int16_t> click = clickFrames();
        std::ofstream out(argv[2], std::ios::binary);
        out.write(reinterpret_cast<const char*>(click.data()), std::streamsize(click.size() * 2));
        return out ? 0 : 1;
    }
    if (argc != 2) {
        std::cerr << usage;
        return 2;
    }
    std::ifstream in(argv[1]);
    if (!in) {
        std::cerr << "recording-check: cannot read " << argv[1] << "\n";
        return 1;
    }
    try {
        std::cout << check(json::parse(in)).dump() << "\n";
    } catch (const std::exception& e) {
        std::cerr << "recording-check: " << argv[1] << ": " << e.what() << "\n";
        return 1;
    }
    return 0;
}
