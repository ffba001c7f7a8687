// recording.cpp: the shared judgement of a recorded run (see recording.h).
#include "recording.h"

#include <algorithm>
#include <cmath>
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

bool tieClicks(const std::vector<float>& heard, const double walls[2], ClockTie& tie, std::string& error) {
    const std::vector<float> click = mono(clickFrames());
    // The first: the recording's first sound. A click's first sound is the click less the few
    // milliseconds the sink had already passed to the monitor when its stream joined: which frame
    // of the click it is places the click's start.
    const long first = std::min(long(std::find_if(heard.begin(), heard.end(), [](float v) { return v != 0; }) - heard.begin()),
                                long(heard.size()) - 3);
    const long skipped = std::search(click.begin(), click.end(), heard.begin() + first, heard.begin() + first + 3) - click.begin();
    if (first < 0 || skipped == long(click.size())) {
        error = "the first click is not the recording's first sound";
        return false;
    }
    // The second: where it matches best, near where the wall clock puts it (the sink's pace is
    // within a thousandth of it), even over a sound still playing.
    const long expected = first - skipped + long((walls[1] - walls[0]) * kRate);
    std::pair<long, double> best{-1, 0.3};
    for (long at = expected - kRate / 5; at < expected + kRate / 5; ++at)
        if (const double s = score(heard, at, click.data(), long(click.size())); s > best.second) best = {at, s};
    if (best.first < 0) {
        error = "the second click is not in the recording";
        return false;
    }
    tie = {{walls[0], walls[1]}, {first - skipped, best.first}};
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
    for (long start = std::max(0L, from); start < to; start += 2)
        if (score(signal, start, pattern, length, 16) >= kMatch) {
            std::pair<long, double> best{start, 0};
            for (long s = start - 2; s < start + 3; ++s)
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
                              const std::vector<long>& targets) {
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
        std::pair<long, double> best{-1, 0};
        if (lastSong >= 0 && score(song, at + lag, stretch, kProbeLength) > 0.99) best = {at + lag, 1};
        // A stream that runs dry goes on where it stopped, later: the song is between where it was
        // last found and where it would be without a break (a pause alike).
        if (best.first < 0 && lastSong >= 0)
            best = bestMatch(song, stretch, kProbeLength, std::min(lastSong, at + lag) - kRate / 3, at + lag + kRate / 3, at + lag);
        for (long target : targets)
            if (best.first < 0) best = bestMatch(song, stretch, kProbeLength, target - kRate / 20, target + kRate, target);
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

std::vector<std::string> findBreaks(const std::vector<Probe>& probes, const std::vector<Move>& moves, long settle,
                                    const std::vector<std::pair<long, long>>& quiet, long songLength, const ClockTie& tie,
                                    double runStart) {
    std::vector<std::string> breaks;
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
        std::string text = secondsText("at ", tie.wallAt(p.at) - runStart, " s of the run: ");
        if (p.kind == Probe::silent && (paused || ended)) continue;
        if (p.kind == Probe::silent) text += "silence";
        else if (p.kind == Probe::lost) text += "not the song";
        else if (before.kind == Probe::song && std::abs(p.lag - before.lag) > kBreak && !nearMove(before.at, p.at))
            text += secondsText("the song jumps by ", (p.lag - before.lag) * 1000.0 / kRate, " ms");
        else continue;
        if (p.kind != Probe::song && nearMove(before.at, p.at)) continue;
        breaks.push_back(text);
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
        CutTiming timing{cut.ms, "the start"};
        double movedAt = 0;  // frames before the latest move are another showing of the scene
        for (const Move& m : moves)
            if (m.wall < heardWall) timing.afterMove = m.what, movedAt = m.wall;
        // The frames within a second of the sound: exactly one change into the cut's scene.
        double shownWall = 0;
        int changes = 0;
        for (bool wasNew = false; const Frame& f : frames)
            if (std::abs(f.wall - heardWall) <= 1 && f.wall > movedAt) {
                if (showsCut(f.pixels, cut) && !wasNew) shownWall = f.wall, ++changes;
                wasNew = showsCut(f.pixels, cut);
            }
        timing.clean = changes == 1;
        timing.ms = (heardWall - shownWall) * 1000;
        timings.push_back(timing);
    }
    return timings;
}

double median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::nth_element(values.begin(), values.begin() + long(values.size() / 2), values.end());
    return values[values.size() / 2];
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
    const Frame* shown = nullptr;
    bool moving = false;  // a change in the half second before: a picture that could stop
    for (size_t i = 0; i < frames.size() && frames[i].wall <= wall; ++i) {
        if (i > 0 && frames[i].wall > wall - 0.5 && frames[i].pixels != frames[i - 1].pixels) moving = true;
        shown = &frames[i];
    }
    if (!shown) return response;
    if (stops) {
        if (!moving) return response;
        response.picture = 0;
        for (size_t i = 1; i < frames.size() && frames[i].wall < nextWall; ++i)
            if (frames[i].wall > wall && frames[i].pixels != frames[i - 1].pixels) response.picture = (frames[i].wall - wall) * 1000;
    } else {
        for (const Frame& f : frames)
            if (f.wall > wall && f.wall < nextWall && f.pixels != shown->pixels) {
                response.picture = (f.wall - wall) * 1000;
                break;
            }
    }
    return response;
}

std::map<std::string, int> underruns(const std::string& serverLog) {
    std::map<std::string, int> counts;
    std::ifstream log(serverLog);
    // A stream that ends runs dry as it goes: an underrun just before its input is freed is that.
    std::map<std::string, int> lastUnderrunLine;
    int number = 0;
    for (std::string line; std::getline(log, line); ++number)
        if (const size_t at = line.find("underrun of '"); at != std::string::npos) {
            const std::string stream = line.substr(at + 13, line.find('\'', at + 13) - at - 13);
            ++counts[stream];
            lastUnderrunLine[stream] = number;
        } else if (line.find("Freeing input ") != std::string::npos) {
            for (auto& [stream, seen] : lastUnderrunLine)
                if (line.find('"' + stream + '"') != std::string::npos && number - seen < 8) --counts[stream], seen = -100;
        }
    return counts;
}

}  // namespace recording
