// recording.h: what a player played, judged from a recording of the sound server's output and a
// log of the frames it showed, by build/recording-check for the desktop's playback test, the
// browser test and the Windows check alike. Clicks written at known wall times tie the recording to the wall clock;
// the song is found in the recording every half second; the scene cuts heard are set against the
// frames shown; each move's effect on sound and picture is timed from the wall time it was made.
#pragma once
#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace recording {

constexpr int kRate = 44100;
constexpr long kBreak = kRate * 3 / 1000;  // a jump of the song's place that is a break
constexpr long kProbeStep = kRate / 2, kProbeLength = kRate / 10;  // the song looked for every half second
constexpr int kGrid = 64;  // pixels of a frame's 8 x 8 grid, each 0xRRGGBB in its low 24 bits

// 16-bit stereo frames as one mono sum per frame (on the samples' own scale).
std::vector<float> mono(const std::vector<int16_t>& samples);
// A raw 16-bit stereo file, or the data of a 16-bit stereo WAV file.
std::vector<int16_t> readRaw(const std::string& path);
std::vector<int16_t> readWav(const std::string& path);

// The click written into the sink to tie the recording to the wall clock: a burst of noise, the
// same every time, as 16-bit stereo frames.
std::vector<int16_t> clickFrames();

// Recording frames and wall seconds, tied by clicks of known wall times: a line through one click
// before the run and one after (the sink's pace differs from the wall clock by some hundred parts
// per million), or, where the recording's arrival was followed, a wall time for every hundredth of
// a second of it.
struct ClockTie {
    double walls[2] = {0, 0};
    long at[2] = {0, 0};
    std::vector<double> blockWalls;  // the wall time of each kTieBlock frames' first, when followed
    int unheard = 0;                 // clicks not heard (a few may be lost; see tieClicks)
    double wallAt(long frame) const;
    long frameAt(double wall) const;
    double perFrame() const { return (walls[1] - walls[0]) / double(at[1] - at[0]); }
};
constexpr long kTieBlock = kRate / 100;
// Finds the clicks (the first, the recording's first sound; the others near where the wall clock
// puts them) and ties the recording by a group before and a group after the longest pause between
// them, one click each or several at random moments; false if the first is missing, more than a
// quarter of them are, or a whole group is.
bool tieClicks(const std::vector<float>& heard, const std::vector<double>& walls, ClockTie& tie, std::string& error);
// The same, and then every stretch of the recording tied by when it reached the recording's file:
// a sound server that falls behind the wall clock now and then (PipeWire's graph, a cycle at a
// time, on a busy machine) bends the line. `arrivals` are (wall seconds, frames in the file then).
bool tieArrivals(const std::vector<float>& heard, const std::vector<double>& walls,
                 const std::vector<std::pair<double, long>>& arrivals, ClockTie& tie, std::string& error);

// The normalised correlation (1 for an exact copy up to scale) of `pattern` with `signal` from
// `start`, over every step-th frame.
double score(const std::vector<float>& signal, long start, const float* pattern, long length, long step = 1);
// The best match of `pattern` in `signal` over starts [from, to), coarse then to the frame; of
// equal matches (a bar the song repeats) the one nearest `expected`; {-1, 0} when none.
std::pair<long, double> bestMatch(const std::vector<float>& signal, const float* pattern, long length, long from, long to,
                                  long expected);

// Where the song is found in a stretch of the recording: the recording frame, and the song's
// frame there less it (the lag); silent stretches and lost ones (sound, but not the song near
// where it can be) have none.
struct Probe {
    long at;
    enum { song, silent, lost } kind;
    long lag = 0;
};
// The song followed through heard[from, to): every half second a tenth of a second looked for
// where the song would be next (the same lag), a little around it (a break, or a pause's
// resume: between where it was last found and where it would be), and where each of `targets`
// begins ({song frame a move goes to, the frame of heard the move was made at}: a stop's fading
// tail may pass for the song's own end, which a later move goes to).
std::vector<Probe> followSong(const std::vector<float>& heard, const std::vector<float>& song, long from, long to,
                              const std::vector<std::pair<long, long>>& targets);

// A move the player was asked for (a key, a click, the seek bar), at a wall time.
struct Move {
    std::string what;
    double wall = 0;
};
// A break: what was heard where, and for a jump of the song's place its size (0 otherwise).
struct Break {
    std::string text;
    double jumpMs = 0;
    double wall = 0;  // where it was heard
};
// Breaks: where the song's place jumps by more than kBreak, or the sound goes silent or is not the
// song, between two probes, with no move within `settle` frames before to explain it. Silence is
// no break inside `quiet` spans (pauses) or once the song was heard to its end.
std::vector<Break> findBreaks(const std::vector<Probe>& probes, const std::vector<Move>& moves, long settle,
                              const std::vector<std::pair<long, long>>& quiet, long songLength, const ClockTie& tie,
                              double runStart);

// A pause as heard: its silence in the recording, [from, to), and how far the song went on after
// it from where it stopped (ms; NaN where either side could not be placed; 0 when it goes on
// exactly). The silence is looked for from `pausedFrom` (the frame of heard the pause was made
// at) to `pausedTo`; a player that stops within a frame may have gone silent a little before the
// moment its pause was logged. {-1, -1} when there is no recording on either side of it.
struct PauseHeard {
    long from = -1, to = -1;
    double resumedMs = 0;
};
PauseHeard findPause(const std::vector<float>& heard, const std::vector<float>& song, const std::vector<Probe>& probes,
                     long pausedFrom, long pausedTo);

// A frame handed to the display, at a wall time, with its grid of pixels.
struct Frame {
    double wall;
    std::array<uint32_t, kGrid> pixels;
};
// A scene cut: its show time and the grids of the frames just before it and at it.
struct Cut {
    int32_t ms;
    std::array<uint32_t, kGrid> before, at;
};
// Whether a frame shows the scene that begins at the cut rather than the one that ends there.
bool showsCut(const std::array<uint32_t, kGrid>& pixels, const Cut& cut);
struct CutTiming {
    int32_t cut;
    std::string afterMove;  // the latest move before it was heard ("the start" if none)
    double ms = 0;          // sound minus picture
    double heardWall = 0;   // when its sound was heard
    bool clean = false;     // one clean change of scene among the frames around it
    double frameGap = 0;    // s between the frame that first shows it and the one before
};
// Every cut heard (the song around it at a probe's lag), and when its first frame was shown against
// when it was heard; a cut heard again after a move counts again.
std::vector<CutTiming> timeCuts(const std::vector<float>& heard, const std::vector<float>& song,
                                const std::vector<Probe>& probes, const std::vector<Cut>& cuts,
                                const std::vector<Frame>& frames, const std::vector<Move>& moves, const ClockTie& tie);
double median(std::vector<double> values);

// How long after a move its effect was heard and seen (ms; -1000: not measurable): the sound
// leaves the song it played (a pause, a seek) or starts from silence (a resume, a start), and the
// picture stops moving (a pause) or first changes (the others).
struct Response {
    double sound = -1000, picture = -1000;
};
Response respond(const std::vector<float>& heard, const std::vector<float>& song, const std::vector<Probe>& probes,
                 const std::vector<Frame>& frames, const ClockTie& tie, double wall, double nextWall, bool stops,
                 bool fromSilence);

// The sound server's count of underruns by stream, from its log at debug level: PulseAudio's by
// stream name (a stream's last underrun, as it closes, not counted), pipewire-pulse's by client name.
// A PulseAudio log that stamps its lines (--log-time: seconds since the server started) counts
// only those stamped within [from, to].
std::map<std::string, int> underruns(const std::string& serverLog, double from = -1e9, double to = 1e9);

}  // namespace recording
