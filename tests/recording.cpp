// recording.cpp: the shared judgement of a recorded run (see recording.h).
#include "recording.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>

namespace recording {

namespace {

constexpr double kMatch = 0.9;  // the normalised correlation that counts as the song found
constexpr long kAround = kRate / 5;  // the song around a cut, before and after it, that is looked for
constexpr long kBlock = kRate / 100;  // the step a move's effect on the sound is timed in
constexpr long kDrift = 8;  // samples in half a second at 360 ppm, beyond what any device here drifts

long distance(const std::array<uint32_t, kGrid>& a, const std::array<uint32_t, kGrid>& b) {
    long d = 0;
    for (int i = 0; i < kGrid; ++i)
        for (int shift : {0, 8, 16}) d += std::abs(int(a[i] >> shift & 0xFF) - int(b[i] >> shift & 0xFF));
    return d;
}

std::string secondsText(const char* before, double seconds, const char* after = "") {
    std::ostringstream text;
    text.precision(1);
    text << std::fixed << before << seconds << after;
    return text.str();
}

}  // namespace

std::vector<float> mono(const std::vector<int16_t>& samples) {
    std::vector<float> sum;
    sum.reserve(samples.size() / 2);
    for (size_t i = 0; i + 1 < samples.size(); i += 2) sum.push_back(float(samples[i]) + samples[i + 1]);
    return sum;
}

std::vector<int16_t> readRaw(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), {}};
    std::vector<int16_t> samples(bytes.size() / 2);
    memcpy(samples.data(), bytes.data(), samples.size() * 2);
    return samples;
}

std::vector<int16_t> readWav(const std::string& path) {
    const std::vector<int16_t> words = readRaw(path);
    const auto* bytes = reinterpret_cast<const char*>(words.data());
    const size_t size = words.size() * 2;
    for (size_t at = 12; at + 8 <= size;) {
        uint32_t length;
        memcpy(&length, bytes + at + 4, 4);
        if (memcmp(bytes + at, "data", 4) == 0)
            return {words.begin() + long(at + 8) / 2, words.begin() + long(std::min(size, at + 8 + length)) / 2};
        at += 8 + length + (length & 1);
    }
    return {};
}

std::vector<int16_t> clickFrames() {
    std::vector<int16_t> frames;
    std::minstd_rand noise(12345);
    for (int i = 0; i < kRate / 20; ++i) {
        const int16_t v = int16_t(int(noise() % 32768) - 16384);
        frames.insert(frames.end(), {v, v});
    }
    return frames;
}

double ClockTie::wallAt(long frame) const {
    if (blockWalls.empty()) return walls[0] + double(frame - at[0]) * perFrame();
    const long block = std::clamp(frame / kTieBlock, 0L, long(blockWalls.size()) - 1);
    return blockWalls[size_t(block)] + double(frame - block * kTieBlock) / kRate;
}

long ClockTie::frameAt(double wall) const {
    if (blockWalls.empty()) return at[0] + long((wall - walls[0]) / perFrame());
    const long block = std::max(0L, long(std::upper_bound(blockWalls.begin(), blockWalls.end(), wall) - blockWalls.begin()) - 1);
    return block * kTieBlock + long((wall - blockWalls[size_t(block)]) * kRate);
}

// The groups of clicks: those before the longest pause between two of them, and those after.
static size_t longestPause(const std::vector<double>& walls) {
    size_t split = 1;
    for (size_t i = 1; i < walls.size(); ++i)
        if (walls[i] - walls[i - 1] > walls[split] - walls[split - 1]) split = i;
    return split;
}

// Where each click starts in the recording, -1 for one not heard; empty (with the error) if the
// first is not the recording's first sound, more than a quarter are not heard, or none of a group
// is. `near`, the recording's frames by each click's wall time where that was followed, or empty.
// (A cycle PipeWire's graph goes on without its pulse server silences a click, and one heard in
// each group ties the clock.)
static std::vector<long> findClicks(const std::vector<float>& heard, const std::vector<double>& walls,
                                    const std::vector<long>& near, std::string& error) {
    const std::vector<float> click = mono(clickFrames());
    // The first: the recording's first sound. A click's first sound is the click less the few
    // milliseconds the sink had already passed to the monitor when its stream joined: where what
    // is heard from there matches the click's rest best places the click's start. A sink at
    // another rate (PipeWire's graph runs at 48 kHz) hands back the click resampled, near it but not
    // equal, and a resampler's filter rings some frames ahead of it.
    const long first = std::find_if(heard.begin(), heard.end(), [](float v) { return std::abs(v) > 256; }) - heard.begin();
    const long length = long(click.size());
    std::pair<long, double> start{-1, 0.5};
    for (long at = first - length + kRate / 200; at <= first + kRate / 500 && first < long(heard.size()); ++at) {
        const long from = std::max(at, first);
        if (const double s = score(heard, from, click.data() + (from - at), length - (from - at)); s > start.second) start = {at, s};
    }
    if (walls.size() < 2 || start.first < 0) {
        error = walls.size() < 2 ? "fewer than two clicks" : "the first click is not the recording's first sound";
        return {};
    }
    // The others: where each matches best, near where the wall clock puts it from the first (the
    // sink's pace is within a thousandth of it) or where the recording stood then, even over a
    // sound still playing.
    std::vector<long> at{start.first};
    size_t unheard = 0;
    for (size_t i = 1; i < walls.size(); ++i) {
        const long expected = near.empty() ? start.first + long((walls[i] - walls[0]) * kRate) : near[i];
        std::pair<long, double> best{-1, 0.3};
        for (long a = expected - kRate / 10; a < expected + kRate / 10; ++a)
            if (const double s = score(heard, a, click.data(), length); s > best.second) best = {a, s};
        if (best.first < 0 && unheard++ == 0)
            error = "click " + std::to_string(i + 1) + " of " + std::to_string(walls.size()) + " is not in the recording";
        at.push_back(best.first);
    }
    const size_t split = longestPause(walls);
    const auto heardIn = [&](size_t from, size_t to) { return std::any_of(at.begin() + long(from), at.begin() + long(to), [](long a) { return a >= 0; }); };
    if (4 * unheard > walls.size() || !heardIn(0, split) || !heardIn(split, walls.size())) return {};
    error.clear();
    return at;
}

// The line through the clicks heard.
static ClockTie lineTie(const std::vector<double>& walls, const std::vector<long>& at) {
    // A click is heard no sooner than it was written, and up to a graph cycle later on a server
    // that plays a cycle at a time (PipeWire's); of a group written at random moments, the one
    // heard soonest after its writing is the nearest. The line through the nearest of the group
    // before the longest pause and of the group after it sets the pace.
    const size_t split = longestPause(walls);
    const auto nearest = [&](size_t from, size_t to) {
        size_t best = to;
        for (size_t i = from; i < to; ++i)
            if (at[i] >= 0 && (best == to || walls[i] - double(at[i]) / kRate > walls[best] - double(at[best]) / kRate)) best = i;
        return best;
    };
    const size_t before = nearest(0, split), after = nearest(split, walls.size());
    ClockTie tie{{walls[before], walls[after]}, {at[before], at[after]}, {}};
    tie.unheard = int(std::count(at.begin(), at.end(), -1L));
    return tie;
}

bool tieClicks(const std::vector<float>& heard, const std::vector<double>& walls, ClockTie& tie, std::string& error) {
    const std::vector<long> at = findClicks(heard, walls, {}, error);
    if (!at.empty()) tie = lineTie(walls, at);
    return !at.empty();
}

bool tieArrivals(const std::vector<float>& heard, const std::vector<double>& walls,
                 const std::vector<std::pair<double, long>>& arrivals, ClockTie& tie, std::string& error) {
    if (arrivals.empty() || arrivals.back().second < long(heard.size())) {
        error = "the recording's arrival was not followed to its end";
        return false;
    }
    std::vector<long> near;
    for (double wall : walls) {
        const auto then = std::lower_bound(arrivals.begin(), arrivals.end(), std::pair{wall, 0L});
        near.push_back(then == arrivals.end() ? arrivals.back().second : then->second);
    }
    const std::vector<long> at = findClicks(heard, walls, near, error);
    if (at.empty()) return false;
    // A frame was made no later than any frame after it reached the file, less the time between
    // the two; the nearest arrivals after it say it best (a late look at the file only says more).
    // Which moment of a graph cycle that is, the clicks say: each was heard no sooner than written.
    std::vector<double> made(size_t(long(heard.size()) / kTieBlock + 1));
    size_t first = 0;
    for (size_t b = 0; b < made.size(); ++b) {
        const long frame = long(b) * kTieBlock;
        while (first < arrivals.size() && arrivals[first].second <= frame) ++first;
        if (first == arrivals.size()) {  // the recording's very end
            made[b] = made[b - 1] + double(kTieBlock) / kRate;
            continue;
        }
        made[b] = arrivals[first].first - double(arrivals[first].second - frame) / kRate;
        for (size_t j = first; j < arrivals.size() && arrivals[j].second <= frame + kRate / 4; ++j)
            made[b] = std::min(made[b], arrivals[j].first - double(arrivals[j].second - frame) / kRate);
        if (b > 0) made[b] = std::max(made[b], made[b - 1]);
    }
    double shift = -1e9;
    for (size_t i = 0; i < at.size(); ++i) {
        if (at[i] < 0) continue;
        const size_t b = size_t(at[i] / kTieBlock);
        shift = std::max(shift, walls[i] - (made[b] + double(at[i] - long(b) * kTieBlock) / kRate));
    }
    for (double& wall : made) wall += shift;
    tie = lineTie(walls, at);  // its ends bound the run
    tie.blockWalls = std::move(made);
    return true;
}

double score(const std::vector<float>& signal, long start, const float* pattern, long length, long step) {
    if (start < 0 || start + length > long(signal.size())) return 0;
    double dot = 0, energy = 0, patternEnergy = 0;
    for (long i = 0; i < length; i += step) {
        dot += double(signal[start + i]) * pattern[i];
        energy += double(signal[start + i]) * signal[start + i];
        patternEnergy += double(pattern[i]) * pattern[i];
    }
    return dot / std::sqrt(patternEnergy * energy + 1);
}

std::pair<long, double> bestMatch(const std::vector<float>& signal, const float* pattern, long length, long from, long to,
                                  long expected) {
    std::vector<std::pair<long, double>> found;
    // Every start, scored on every sixteenth sample (every other start missed a noisy stretch's
    // match, which only holds where it lines up exactly); where that reaches the threshold, the
    // full score over the starts it then skips finds the peak.
    for (long start = std::max(0L, from); start < to; ++start)
        if (score(signal, start, pattern, length, 16) >= kMatch) {
            std::pair<long, double> best{start, 0};
            for (long s = start; s < start + 17; ++s)
                if (const double c = score(signal, s, pattern, length); c > best.second) best = {s, c};
            if (best.second >= kMatch) found.push_back(best);
            start += 16;
        }
    std::pair<long, double> best{-1, 0};
    for (const auto& f : found) best = f.second > best.second ? f : best;
    for (const auto& f : found)
        if (f.second > best.second - 0.002 && std::abs(f.first - expected) < std::abs(best.first - expected)) best = f;
    return best;
}

std::vector<Probe> followSong(const std::vector<float>& heard, const std::vector<float>& song, long from, long to,
                              const std::vector<std::pair<long, long>>& targets) {
    std::vector<Probe> probes;
    long lag = 0, lastSong = -1;  // the latest lag, and the song's frame at the end of the latest probe found
    for (long at = from; at + kProbeLength < std::min(to, long(heard.size())); at += kProbeStep) {
        const float* stretch = heard.data() + at;
        const auto silent = [](const float* from) { return std::all_of(from, from + kProbeLength, [](float v) { return std::abs(v) < 4; }); };
        if (silent(stretch)) {
            // The song's own silence (its end rings out into it) where it plays on is the song.
            const bool songs = lastSong >= 0 && at + lag >= 0 && at + lag + kProbeLength <= long(song.size()) && silent(song.data() + at + lag);
            probes.push_back(songs ? Probe{at, Probe::song, lag} : Probe{at, Probe::silent});
            continue;
        }
        // The song going on where it was, give or take the samples that a device's resampling
        // drifts by in half a second: looked at sample by sample, since a noisy stretch matches
        // only where it lines up exactly, and a repeated bar elsewhere may match nearly as well.
        std::pair<long, double> best{-1, 0};
        for (long d = -kDrift; lastSong >= 0 && d <= kDrift; ++d)
            if (const double s = score(song, at + lag + d, stretch, kProbeLength); s >= kMatch && s > best.second) best = {at + lag + d, s};
        // A stream that runs dry goes on where it stopped, later: the song is between where it was
        // last found and where it would be without a break (a pause alike).
        if (best.first < 0 && lastSong >= 0)
            best = bestMatch(song, stretch, kProbeLength, std::min(lastSong, at + lag) - kRate / 3, at + lag + kRate / 3, at + lag);
        for (const auto& [target, after] : targets)
            if (best.first < 0 && at >= after) best = bestMatch(song, stretch, kProbeLength, target - kRate / 20, target + kRate, target);
        if (best.first < 0) {
            probes.push_back({at, Probe::lost});
            continue;
        }
        lag = best.first - at;
        lastSong = best.first + kProbeLength;
        probes.push_back({at, Probe::song, lag});
    }
    return probes;
}

std::vector<Break> findBreaks(const std::vector<Probe>& probes, const std::vector<Move>& moves, long settle,
                              const std::vector<std::pair<long, long>>& quiet, long songLength, const ClockTie& tie,
                              double runStart) {
    std::vector<Break> breaks;
    if (probes.empty()) return breaks;
    // Whether a move's sound (arriving within `settle`) can explain a change between two probes.
    const auto nearMove = [&](long from, long to) {
        return std::any_of(moves.begin(), moves.end(), [&](const Move& m) {
            const long at = tie.frameAt(m.wall);
            return at < to + kProbeLength && at + settle > from;
        });
    };
    // The song is under way once two probes in a row find it at one lag: the first can straddle
    // the start of the sound, half silence.
    long firstSong = probes.back().at, lastSongProbe = probes.front().at;
    for (size_t i = 1; i < probes.size(); ++i)
        if (probes[i].kind == Probe::song && probes[i - 1].kind == Probe::song && std::abs(probes[i].lag - probes[i - 1].lag) <= kBreak) {
            firstSong = probes[i].at;
            break;
        }
    for (const Probe& p : probes)
        if (p.kind == Probe::song) lastSongProbe = p.at;
    const long runFrom = tie.frameAt(runStart);
    bool ended = false;  // the latest song found reached the song's end
    for (size_t i = 1; i < probes.size(); ++i) {
        const Probe &p = probes[i], &before = probes[i - 1];
        if (before.kind == Probe::song) ended = before.at + before.lag + kProbeLength + kProbeStep >= songLength;
        if (p.at <= firstSong || p.at > lastSongProbe || p.at < runFrom) continue;
        const bool paused = std::any_of(quiet.begin(), quiet.end(), [&](const auto& q) { return p.at > q.first && p.at < q.second; });
        Break b{secondsText("at ", tie.wallAt(p.at) - runStart, " s of the run: "), 0, tie.wallAt(p.at)};
        if (p.kind == Probe::silent && (paused || ended)) continue;
        if (p.kind == Probe::silent) b.text += "silence";
        else if (p.kind == Probe::lost) b.text += "not the song";
        else if (before.kind == Probe::song && std::abs(p.lag - before.lag) > kBreak && !nearMove(before.at, p.at)) {
            b.jumpMs = (p.lag - before.lag) * 1000.0 / kRate;
            b.text += secondsText("the song jumps by ", b.jumpMs, " ms");
        } else continue;
        if (p.kind != Probe::song && nearMove(before.at, p.at)) continue;
        breaks.push_back(b);
    }
    return breaks;
}

bool showsCut(const std::array<uint32_t, kGrid>& pixels, const Cut& cut) {
    return distance(pixels, cut.at) < distance(pixels, cut.before);
}

std::vector<CutTiming> timeCuts(const std::vector<float>& heard, const std::vector<float>& song,
                                const std::vector<Probe>& probes, const std::vector<Cut>& cuts,
                                const std::vector<Frame>& frames, const std::vector<Move>& moves, const ClockTie& tie) {
    // Where the song is found with a constant lag, the song around the cut at exactly that lag.
    std::vector<std::pair<long, size_t>> heardCuts;  // recording frame, index into cuts
    for (const Probe& p : probes) {
        if (p.kind != Probe::song) continue;
        for (size_t c = 0; c < cuts.size(); ++c) {
            const long songAt = long(int64_t{cuts[c].ms} * kRate / 1000), at = songAt - p.lag;
            // Near the probe on either side: after a move the first probe to find the song can
            // come after a cut that follows the move closely.
            if (at < p.at - kProbeStep || at >= p.at + kProbeStep) continue;
            if (songAt < kAround || score(heard, at - kAround, song.data() + songAt - kAround, 2 * kAround) < kMatch) continue;
            if (std::none_of(heardCuts.begin(), heardCuts.end(), [&](const auto& h) { return h.second == c && std::abs(h.first - at) < kBreak; }))
                heardCuts.push_back({at, c});
        }
    }
    std::sort(heardCuts.begin(), heardCuts.end());
    std::vector<CutTiming> timings;
    for (const auto& [at, c] : heardCuts) {
        const Cut& cut = cuts[c];
        const double heardWall = tie.wallAt(at);
        CutTiming timing{cut.ms, "the start", 0, heardWall};
        double movedAt = 0;  // frames before the latest move are another showing of the scene
        for (const Move& m : moves)
            if (m.wall < heardWall) timing.afterMove = m.what, movedAt = m.wall;
        // The frames within a second of the sound: exactly one change into the cut's scene.
        double shownWall = 0, previousWall = 0;
        int changes = 0;
        for (bool wasNew = false; const Frame& f : frames) {
            if (std::abs(f.wall - heardWall) <= 1 && f.wall > movedAt) {
                if (showsCut(f.pixels, cut) && !wasNew) shownWall = f.wall, timing.frameGap = f.wall - previousWall, ++changes;
                wasNew = showsCut(f.pixels, cut);
            }
            previousWall = f.wall;
        }
        timing.clean = changes == 1;
        timing.ms = (heardWall - shownWall) * 1000;
        timings.push_back(timing);
    }
    return timings;
}

PauseHeard findPause(const std::vector<float>& heard, const std::vector<float>& song, const std::vector<Probe>& probes,
                     long pausedFrom, long pausedTo) {
    // Silence is exact zeros; the song passes through a zero now and then, and a graph cycle a
    // server missed is silence too, so the pause's silence is where a tenth of a second of them
    // is, reaching back to its first zero.
    const long size = long(heard.size());
    long from = pausedFrom, to = pausedFrom;
    while (from < pausedTo && to < size && to - from < kRate / 10)
        if (heard[to] == 0) ++to;
        else from = ++to;
    while (to < size && heard[to] == 0) ++to;
    while (from > 0 && heard[from - 1] == 0) --from;
    if (from < kProbeLength || to + kProbeLength > size) return {};
    // The song's place as it goes on: the first probe after the silence to find it (a move just
    // before the pause may have left the probes before it at another place).
    long lag = 0;
    for (auto p = probes.rbegin(); p != probes.rend() && p->at >= to; ++p)
        if (p->kind == Probe::song) lag = p->lag;
    // A bar the song repeats matches as well a beat on or back: of equal matches, the one where
    // the song goes on, and then where it stopped.
    const long near = to + lag;
    const long goesOnAt = bestMatch(song, heard.data() + to, kProbeLength, near - kRate, near + kRate, near).first;
    const long stoppedAt = bestMatch(song, heard.data() + from - kProbeLength, kProbeLength, near - kRate, near + kRate,
                                     goesOnAt - kProbeLength).first;
    const double resumed = goesOnAt >= 0 && stoppedAt >= 0 ? (goesOnAt - stoppedAt - kProbeLength) * 1000.0 / kRate : NAN;
    return {from, to, resumed};
}

double median(std::vector<double> values) {
    if (values.empty()) return 0;
    const size_t half = values.size() / 2;
    std::nth_element(values.begin(), values.begin() + long(half), values.end());
    if (values.size() % 2 == 1) return values[half];
    // An even count: halfway between the two middle values, not the upper one of them.
    return (values[half] + *std::max_element(values.begin(), values.begin() + long(half))) / 2;
}

Response respond(const std::vector<float>& heard, const std::vector<float>& song, const std::vector<Probe>& probes,
                 const std::vector<Frame>& frames, const ClockTie& tie, double wall, double nextWall, bool stops,
                 bool fromSilence) {
    Response response;
    // From a tenth of a second before the move: the clicks place the recording on the wall clock
    // to within the few milliseconds the sink takes to start a stream, and a fast answer can
    // look a little early.
    const long from = tie.frameAt(wall) - kRate / 10, until = std::min({tie.frameAt(nextWall), from + 3 * kRate, long(heard.size())});
    if (fromSilence) {
        for (long x = std::max(0L, from); x < until; ++x)
            if (std::abs(heard[x]) > 8) {
                response.sound = (tie.wallAt(x) - wall) * 1000;
                break;
            }
    } else {
        // The song as it played before the move, carried on: where the sound leaves it.
        long lag = 0;
        bool found = false;
        for (const Probe& p : probes)
            if (p.kind == Probe::song && p.at + kProbeLength <= from) lag = p.lag, found = true;
        // The lag as it stands just before the move: a probe's can be a few frames off it.
        if (found && from >= kRate / 4) {
            const long base = lag;
            double bestScore = -1;
            for (long d = -64; d <= 64; ++d) {
                const long start = from - kRate / 4 + base + d;
                if (start < 0 || start + kRate / 4 > long(song.size())) continue;
                if (const double s = score(heard, from - kRate / 4, song.data() + start, kRate / 4); s > bestScore) bestScore = s, lag = base + d;
            }
        }
        double dot = 0, own = 0;  // the recording's gain against the song, over the moment before
        for (long x = std::max({0L, from - kRate / 4, -lag}); found && x < from && x + lag < long(song.size()); ++x)
            dot += double(heard[x]) * song[x + lag], own += double(song[x + lag]) * song[x + lag];
        const double gain = own > 0 ? dot / own : 1;
        for (long x = std::max({0L, from, -lag}); found && x + kBlock < until && x + lag + kBlock < long(song.size()); x += kBlock) {
            double expected = 0, residual = 0;
            for (long i = x; i < x + kBlock; ++i) {
                const double s = gain * song[i + lag];
                expected += s * s;
                residual += (heard[i] - s) * (heard[i] - s);
            }
            if (expected > kBlock * 100.0 * 100.0 && residual > expected / 4) {
                response.sound = (tie.wallAt(x) - wall) * 1000;
                break;
            }
        }
    }
    // The picture: the frame on screen at the move, then the frames handed over until the next.
    // A frame stamped in the very millisecond of the move is the move's: an engine's clock may
    // count whole milliseconds (Firefox's does), and a page draws a seek's frame at once.
    const Frame* shown = nullptr;
    bool moving = false;  // a change in the half second before: a picture that could stop
    for (size_t i = 0; i < frames.size() && frames[i].wall < wall; ++i) {
        if (i > 0 && frames[i].wall > wall - 0.5 && frames[i].pixels != frames[i - 1].pixels) moving = true;
        shown = &frames[i];
    }
    if (!shown) return response;
    if (stops) {
        if (!moving) return response;
        response.picture = 0;
        for (size_t i = 1; i < frames.size() && frames[i].wall < nextWall; ++i)
            if (frames[i].wall >= wall && frames[i].pixels != frames[i - 1].pixels) response.picture = (frames[i].wall - wall) * 1000;
    } else {
        for (const Frame& f : frames)
            if (f.wall >= wall && f.wall < nextWall && f.pixels != shown->pixels) {
                response.picture = (f.wall - wall) * 1000;
                break;
            }
    }
    return response;
}

std::map<std::string, int> underruns(const std::string& serverLog, double from, double to) {
    std::map<std::string, int> counts;
    std::ifstream log(serverLog);
    // PulseAudio: a line per underrun. A stream that ends runs dry as it goes: an underrun just
    // before its input is freed is that.
    std::map<std::string, int> lastUnderrunLine;
    int number = 0;
    for (std::string line; std::getline(log, line); ++number)
        if (const double stamp = line.starts_with("(") ? std::atof(line.c_str() + 1) : from; stamp < from || stamp > to) {
            continue;  // outside the window; a line without a stamp always counts
        } else if (const size_t at = line.find("underrun of '"); at != std::string::npos) {
            const std::string stream = line.substr(at + 13, line.find('\'', at + 13) - at - 13);
            ++counts[stream];
            lastUnderrunLine[stream] = number;
        } else if (line.find("Freeing input ") != std::string::npos) {
            for (auto& [stream, seen] : lastUnderrunLine)
                if (line.find('"' + stream + '"') != std::string::npos && number - seen < 8) --counts[stream], seen = -100;
        } else if (const size_t end = line.find("]: UNDERFLOW "); end != std::string::npos && line.rfind('[', end) != std::string::npos) {
            ++counts[line.substr(line.rfind('[', end) + 1, end - line.rfind('[', end) - 1)];  // pipewire-pulse's, by client
        }
    return counts;
}

}  // namespace recording
