// song.cpp: "musa.xm", the show's song: sections on rows whose times follow the show's schedule.
//
// The rows are a grid fitted to the sync tables: 133.0 ms a row (speed 6, about 112.8 BPM) where
// the clock, voxel and radial scenes listen, and the nearest whole number of rows between the
// other scene cuts. libmikmod plays whole-frame ticks, so each row gets the BPM that keeps the
// mixer's running total on the grid (a tempo command on the control channel when it changes).
// Sync hits are then placed at the tick nearest their time stamp.
#include "song.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <string>

#include "effects/sync.h"
#include "score.h"
#include "synth.h"
#include "timing.h"

namespace {

enum Channel : int {
    kChKick, kChSnare, kChHat, kChPerc, kChCymbal, kChBass, kChPad1, kChPad2, kChPad3,
    kChLead, kChEcho, kChArp, kChBell, kChHitA, kChHitB, kChPad4, kChPad5, kChPad6, kChTempo,
    kChannels
};

// A section: its first row's time, its row count, and the grid inside it. rowMs 0 spreads the
// rows evenly up to the next section; otherwise row i > 0 starts at gridMs + i * rowMs, and the
// last row stretches or shrinks to meet the next section.
struct Section {
    double startMs;
    int rows;
    double rowMs;
    double gridMs;
};

enum SectionId { kIntro, kBuild, kTheme, kScroll, kVoxel, kPlasma, kRadial, kReprise, kBreakdown,
                 kFinale, kEnding, kSectionCount };

constexpr double kRowMs = 133.0;
constexpr Section kSections[kSectionCount] = {
    {0, 66, kRowMs, 12},               // clock scene: the big dial's marks every 8 rows from row 8
    {8800, 62, 0, 0},                  // helmet: 3 bars and a 14-row fill
    {17000, 132, 0, 0},                // stripes and cube: 8 bars and a 4-row fill
    {34500, 124, 0, 0},                // picture scroll: 7 bars and a 12-row lead-in
    {50962, 65, kRowMs, 50962},        // voxel: surges on rows 4, 6, 8 of bars 1 to 3
    {59600, 67, 0, 0},                 // plasma: 4 bars and a 3-row break
    {68520, 126, 133.07, 68520},       // radial blur: accents on rows 0, 5, 9 of each bar
    {85300, 96, 0, 0},                 // plasma with picture: 6 bars
    {98000, 32, 0, 0},                 // black and credits: 2 bars
    {102250, 96, 0, 0},                // finale: 6 bars
    {115000, 24, kRowMs, 115000},      // the white flash's hit and the ring-out
};
constexpr double kEndMs = 115000 + 24 * kRowMs;

int firstRow(int section) {
    int row = 0;
    for (int i = 0; i < section; ++i) row += kSections[i].rows;
    return row;
}

int64_t msToFrames(double ms) { return int64_t(std::llround(ms * kMixRate / 1000.0)); }

// The rows' BPMs and the exact frame at which each row starts, as the mixer will play them.
struct Timeline {
    std::vector<int> bpm;
    std::vector<int64_t> start;  // one more than rows: the song's end

    Timeline() {
        std::vector<int64_t> ends;
        for (int s = 0; s < kSectionCount; ++s) {
            const Section& sec = kSections[s];
            const double next = s + 1 < kSectionCount ? kSections[s + 1].startMs : kEndMs;
            for (int i = 1; i <= sec.rows; ++i) {
                double t;
                if (i == sec.rows) t = next;
                else if (sec.rowMs == 0) t = sec.startMs + (next - sec.startMs) * i / sec.rows;
                else t = sec.gridMs + i * sec.rowMs;
                ends.push_back(msToFrames(t));
            }
        }
        bpm = planBpm(ends, 113);
        start = rowStarts(bpm);
    }
    int rows() const { return int(bpm.size()); }

    // The row and tick (0..5) of the tick nearest a time.
    std::pair<int, int> place(double ms) const {
        const int64_t f = msToFrames(ms);
        int row = int(std::upper_bound(start.begin(), start.end(), f) - start.begin()) - 1;
        row = std::clamp(row, 0, rows() - 1);
        const double ticks = double(f - start[size_t(row)]) / double(tickFrames(bpm[size_t(row)]));
        int tick = int(std::lround(ticks));
        if (tick >= kSpeed) {
            ++row;
            tick = 0;
        }
        return {row, tick};
    }
};

// ---- notes and chords -------------------------------------------------------------------------

enum Pitch { C = 0, Cs, D, Ds, E, F, Fs, G, Gs, A, As, B };

struct Chord {
    uint8_t bass;
    uint8_t pad[3];
};
constexpr Chord kAm{note(A, 1), {note(A, 3), note(C, 4), note(E, 4)}};
constexpr Chord kF{note(F, 1), {note(A, 3), note(C, 4), note(F, 4)}};
constexpr Chord kC{note(C, 2), {note(G, 3), note(C, 4), note(E, 4)}};
constexpr Chord kG{note(G, 1), {note(G, 3), note(B, 3), note(D, 4)}};
constexpr Chord kE{note(E, 1), {note(Gs, 3), note(B, 3), note(E, 4)}};
constexpr Chord kDm{note(D, 2), {note(A, 3), note(D, 4), note(F, 4)}};
constexpr Chord kEm{note(E, 1), {note(G, 3), note(B, 3), note(E, 4)}};

// A melody line, one token a row: a note such as "A4" or "C#5", "." to hold, "-" to release.
std::vector<int> parseLine(const char* text) {
    std::vector<int> out;
    const char* p = text;
    while (*p) {
        while (*p == ' ' || *p == '|') ++p;
        if (!*p) break;
        if (*p == '.') { out.push_back(0); ++p; continue; }
        if (*p == '-') { out.push_back(-1); ++p; continue; }
        static const int kSemis[7] = {A, B, C, D, E, F, G};
        if (*p < 'A' || *p > 'G') throw std::logic_error(std::string("bad melody token in ") + text);
        int semi = kSemis[*p++ - 'A'];
        if (*p == '#') { ++semi; ++p; }
        const int octave = *p++ - '0';
        out.push_back(note(semi, octave));
    }
    return out;
}

class Composer {
  public:
    Composer() : score_(kChannels, timeline_.rows()) {}

    XmModule finish() {
        writeTempo();
        XmModule m;
        m.name = "musa";
        m.speed = kSpeed;
        m.bpm = uint16_t(timeline_.bpm[0]);
        m.instruments = makeInstruments();
        std::vector<int> breaks;
        for (int s = 0; s < kSectionCount; ++s) breaks.push_back(firstRow(s));
        scoreToModule(score_, breaks, m);
        return m;
    }

    void compose() {
        intro();
        build();
        theme();
        scroll();
        voxel();
        plasma();
        radial();
        reprise();
        breakdown();
        finale();
        ending();
    }

  private:
    Timeline timeline_;
    Score score_;
    int padSet_ = 1;

    // A note at a time stamp: on the nearest tick, with a note delay when it falls inside a row.
    void hit(double ms, int channel, uint8_t n, uint8_t instrument, int volume) {
        const auto [row, tick] = timeline_.place(ms);
        score_.play(row, channel, n, instrument, volume);
        if (tick > 0) score_.effect(row, channel, kFxExtended, uint8_t(kExNoteDelay | tick));
    }

    void writeTempo() {
        for (int r = 1; r < timeline_.rows(); ++r)
            if (timeline_.bpm[size_t(r)] != timeline_.bpm[size_t(r - 1)])
                score_.effect(r, kChTempo, kFxTempo, uint8_t(timeline_.bpm[size_t(r)]));
    }

    // ---- building blocks ----------------------------------------------------------------------

    // Chords take turns on two sets of three channels: the old chord is released and fades
    // under the new one instead of being cut off mid-wave, which would click.
    void pad(int row, const Chord& c, int volume) {
        static constexpr int kSets[2][3] = {{kChPad1, kChPad2, kChPad3}, {kChPad4, kChPad5, kChPad6}};
        padSet_ ^= 1;
        for (int v = 0; v < 3; ++v) {
            score_.play(row, kSets[padSet_][v], c.pad[v], kPad, volume);
            score_.release(row, kSets[padSet_ ^ 1][v]);
        }
    }
    void padRelease(int row) {
        for (int ch : {kChPad1, kChPad2, kChPad3, kChPad4, kChPad5, kChPad6}) score_.release(row, ch);
    }

    // Bass over one bar: a pattern of 16 steps, 'r' root, 'o' octave, 'f' fifth, '-' release.
    void bassBar(int row, const Chord& c, const char* steps, int volume, int length = 16) {
        for (int i = 0; i < length && steps[i]; ++i) {
            const char k = steps[i];
            if (k == 'r') score_.play(row + i, kChBass, c.bass, kBass, volume);
            if (k == 'o') score_.play(row + i, kChBass, uint8_t(c.bass + 12), kBass, volume - 6);
            if (k == 'f') score_.play(row + i, kChBass, uint8_t(c.bass + 7), kBass, volume - 4);
            if (k == '-') score_.release(row + i, kChBass);
        }
    }

    // Drums over one bar from strings of 16 steps: 'x' hit, 'o' open hat, 'g' ghost (soft).
    void drumBar(int row, const char* kick, const char* snare, const char* hats, int level,
                 int length = 16) {
        for (int i = 0; i < length; ++i) {
            if (kick && kick[i] == 'x') score_.play(row + i, kChKick, kC4, kKick, level);
            if (snare && snare[i] == 'x') score_.play(row + i, kChSnare, kC4, kSnare, level - 4);
            if (snare && snare[i] == 'c') score_.play(row + i, kChSnare, kC4, kClap, level - 4);
            if (snare && snare[i] == 'g') score_.play(row + i, kChSnare, kC4, kSnare, level / 3);
            if (hats && hats[i] == 'x') score_.play(row + i, kChHat, kC4, kHatClosed, level * 5 / 8);
            if (hats && hats[i] == 'g') score_.play(row + i, kChHat, kC4, kHatClosed, level * 3 / 8);
            if (hats && hats[i] == 'o') score_.play(row + i, kChHat, kC4, kHatOpen, level / 2);
        }
    }

    // A snare (or tom) roll over rows, getting louder: the usual lead-in to a new section.
    void roll(int row, int rows, int from, int to, bool toms) {
        for (int i = 0; i < rows; ++i) {
            const int v = from + (to - from) * i / std::max(1, rows - 1);
            if (toms) {
                const uint8_t pitch = uint8_t(note(G, 4) - 2 * i * 12 / std::max(1, rows));
                score_.play(row + i, kChPerc, pitch, kTom, v);
            }
            score_.play(row + i, kChSnare, kC4, kSnare, v);
            if (i >= rows / 2) score_.effect(row + i, kChSnare, kFxExtended, kExRetrigger | 3);
        }
    }

    // Arpeggio over rows: the chord's tones up two octaves and back, one every `step` rows.
    void arp(int row, int rows, const Chord& c, int step, int volume, int octaveUp = 1) {
        static const int kShape[8] = {0, 1, 2, 3, 4, 5, 4, 2};
        for (int i = 0, k = 0; i < rows; i += step, ++k) {
            const int idx = kShape[k % 8];
            const uint8_t n = uint8_t(c.pad[idx % 3] + 12 * (idx / 3 + octaveUp) - 12);
            score_.play(row + i, kChArp, n, kPluck, volume - (k % 2 ? 8 : 0));
        }
    }

    // Triplet arpeggio: three notes a beat (ticks 0, 8, 16 of 24), with note delays.
    void tripletArp(int row, int rows, const Chord& c, int volume) {
        static const int kShape[6] = {0, 1, 2, 3, 2, 1};
        int k = 0;
        for (int beat = 0; beat + 4 <= rows; beat += 4) {
            for (int t = 0; t < 3; ++t, ++k) {
                const int tick = t * 8;
                const int r = row + beat + tick / kSpeed;
                const int idx = kShape[k % 6];
                score_.play(r, kChArp, uint8_t(c.pad[idx % 3] + 12 * (idx / 3)), kPluck,
                            volume - (t ? 10 : 0));
                if (tick % kSpeed) score_.effect(r, kChArp, kFxExtended, uint8_t(kExNoteDelay | tick % kSpeed));
            }
        }
    }

    // A melody on the lead, with its echo three rows later on the echo channel.
    void melody(int row, const char* line, int volume, bool echo = true, uint8_t instrument = kLead,
                int channel = kChLead) {
        const std::vector<int> notes = parseLine(line);
        for (size_t i = 0; i < notes.size(); ++i) {
            const int r = row + int(i);
            if (notes[i] > 0) {
                score_.play(r, channel, uint8_t(notes[i]), instrument, volume);
                if (echo) score_.play(r + 3, kChEcho, uint8_t(notes[i]), instrument, volume / 3);
            } else if (notes[i] < 0) {
                score_.release(r, channel);
                if (echo) score_.release(r + 3, kChEcho);
            }
        }
    }
    // Long lead notes sing: a slow vibrato that sets in a beat after the note starts.
    void vibratoFrom(int row, int rows, int channel = kChLead) {
        for (int i = 0; i < rows; ++i) score_.effect(row + i, channel, kFxVibrato, 0x24);
    }

    void crash(int row, int volume) { score_.play(row, kChCymbal, kC4, kCrash, volume); }

    // ---- the sections -------------------------------------------------------------------------

    // Clock scene: a pad swells while the big dial's marks ring a bell and the small dial ticks.
    void intro() {
        const int b = firstRow(kIntro);
        pad(b, kAm, 34);
        pad(b + 32, kF, 38);
        score_.play(b + 16, kChBass, kAm.bass, kBass, 30);
        score_.play(b + 32, kChBass, kF.bass, kBass, 34);
        score_.play(b + 48, kChBass, kG.bass, kBass, 38);
        pad(b + 48, kG, 40);
        const uint8_t bells[7] = {note(E, 5), note(C, 5), note(A, 4), note(E, 5),
                                  note(F, 5), note(E, 5), note(D, 5)};
        for (int i = 0; i < 7; ++i) {
            hit(klocka1_sync[i], kChHitA, note(C, 3), kTick, 64);  // the big dial's low knock
            hit(klocka1_sync[i], kChBell, bells[i], kBell, 44);
            hit(klocka1_sync[i], kChKick, kC4, kKick, 30 + 3 * i);
        }
        for (int i = 0; i < 11; ++i) hit(klocka2_sync[i], kChHitB, note(G, 4), kTick, 40 + i);
        // Hats creep in under the last bar; a two-row roll leads into the helmet scene.
        for (int r = 48; r < 64; r += 2) score_.play(b + r, kChHat, kC4, kHatClosed, 12 + r / 4);
        score_.play(b + 62, kChCymbal, kC4, kSweep, 40);
        roll(b + 64, 2, 30, 44, false);
    }

    // Helmet: the beat builds bar by bar over the main progression, arpeggios rising.
    void build() {
        const int b = firstRow(kBuild);
        const Chord chords[4] = {kAm, kF, kC, kG};
        crash(b, 44);
        for (int bar = 0; bar < 4; ++bar) {
            const int r = b + bar * 16, len = bar < 3 ? 16 : 14;
            pad(r, chords[bar], 40);
            bassBar(r, chords[bar], "r.r.r.r.r.r.r.r.", 44 + bar * 3, len);
            arp(r, len, chords[bar], 2, 28 + bar * 4);
            if (bar < 3) {
                drumBar(r, "x...x...x...x...", bar ? "....c.......c..." : nullptr,
                        bar == 2 ? "xgxgxgxgxgxgxgxg" : "..x...x...x...x.", 44 + bar * 4);
            }
        }
        // The last bar (14 rows): kick on the beats, then a snare roll into the theme.
        drumBar(b + 48, "x...x...x.......", nullptr, "xgxgxgxg........", 54, 14);
        roll(b + 56, 6, 28, 58, true);
        score_.play(b + 56, kChCymbal, kC4, kSweep, 48);
        score_.play(b + 48, kChLead, note(E, 5), kLead, 36);
        vibratoFrom(b + 52, 10);
        score_.release(b + 61, kChLead);
    }

    // The main beat of the theme sections.
    void mainBeat(int row, int bars, int level, bool busy) {
        for (int bar = 0; bar < bars; ++bar) {
            const int r = row + bar * 16;
            const bool last = bar == bars - 1;
            drumBar(r, bar % 2 ? "x...x...x...x.x." : "x...x...x...x...",
                    last ? "....x.......x.xx" : busy ? "....x..g....x..g" : "....x.......x...",
                    busy ? "xgoxxgoxxgoxxgox" : "x.o.x.o.x.o.x.o.", level);
        }
    }

    // The theme: melody over Am F C G, played twice, the second time higher and fuller.
    void theme() {
        const int b = firstRow(kTheme);
        const Chord chords[8] = {kAm, kF, kC, kG, kAm, kF, kC, kG};
        crash(b, 56);
        crash(b + 64, 50);
        mainBeat(b, 8, 58, false);
        for (int bar = 0; bar < 8; ++bar) {
            const int r = b + bar * 16;
            pad(r, chords[bar], 30);
            bassBar(r, chords[bar], "r..r..o.r..r..o.", 54);
            if (bar >= 4) arp(r, 16, chords[bar], 2, 26);
        }
        melody(b,
               "A4 . . C5 . . E5 . D5 . C5 . D5 . E5 . "
               "F5 . . E5 . . C5 . A4 . . . C5 . . . "
               "G5 . . E5 . . C5 . E5 . G5 . A5 . G5 . "
               "D5 . . . B4 . . . G4 . . . . . - . "
               "A4 . . C5 . . E5 . D5 . C5 . D5 . E5 . "
               "F5 . . A5 . . C6 . A5 . F5 . E5 . F5 . "
               "G5 . . . E5 . . . C5 . D5 . E5 . . . "
               "D5 . . . . . . . B4 . . . . . - .",
               46);
        vibratoFrom(b + 49, 7);
        vibratoFrom(b + 113, 7);
        // The 4-row fill: toms down, and everything breathes for a beat.
        padRelease(b + 128);
        score_.release(b + 128, kChBass);
        roll(b + 128, 4, 40, 56, true);
    }

    // Picture scroll: a second theme over F G Em Am, half-time drums, a singing long-note line.
    void scroll() {
        const int b = firstRow(kScroll);
        const Chord chords[7] = {kF, kG, kEm, kAm, kF, kG, kAm};
        crash(b, 54);
        for (int bar = 0; bar < 7; ++bar) {
            const int r = b + bar * 16;
            pad(r, chords[bar], 36);
            bassBar(r, chords[bar], "r.....r.o...r.f.", 52);
            arp(r, 16, chords[bar], 1, 24, 2);
            drumBar(r, "x.....x...x.....", bar % 4 == 3 ? "........x.....xx" : "........x.......",
                    "x.x.x.x.x.x.x.x.", 56);
        }
        melody(b,
               "C5 . . . . . . . A4 . . . C5 . D5 . "
               "D5 . . . . . . . B4 . . . G4 . . . "
               "E5 . . . . . . . G5 . . . E5 . . . "
               "A5 . . . . . . . . . . . - . . . "
               "C6 . . . . . . . A5 . . . F5 . A5 . "
               "B5 . . . . . . . G5 . . . D5 . G5 . "
               "A5 . . . . . . . . . . . . . - .",
               42);
        for (int bar = 0; bar < 7; ++bar) vibratoFrom(b + bar * 16 + 3, 5);
        // 12-row lead-in to the voxel scene on E: the surge starts with a reverse cymbal.
        const int r = b + 112;
        pad(r, kE, 40);
        bassBar(r, kE, "r.r.r.r.r.r.", 54, 12);
        drumBar(r, "x...x...x...", nullptr, "xgxgxgxgxgxg", 56, 12);
        score_.play(r + 4, kChCymbal, kC4, kSweep, 56);
        roll(r + 6, 6, 30, 60, false);
        score_.release(r + 11, kChLead);
    }

    // Voxel landscape: driving four-to-the-floor under triplet arpeggios; three surging hits
    // (kick, tom and stab rising a step each) on rows 4, 6 and 8 of bars 1 to 3.
    void voxel() {
        const int b = firstRow(kVoxel);
        const Chord chords[4] = {kAm, kG, kF, kE};
        crash(b, 58);
        for (int bar = 0; bar < 4; ++bar) {
            const int r = b + bar * 16;
            pad(r, chords[bar], 34);
            bassBar(r, chords[bar], "rrorrrorrrorrror", 50);
            tripletArp(r, 16, chords[bar], 34);
            const bool surge = bar < 3;
            drumBar(r, surge ? "x.........x.x..." : "x...x...x...x...", "....x.......x...",
                    "gxgxgxgxgxgxgxgx", 56);
        }
        const uint8_t toms[3] = {note(D, 4), note(G, 4), note(C, 5)};
        for (int i = 0; i < 9; ++i) {
            hit(voxelsync[2 * i], kChHitA, kC4, kKick, 64);
            hit(voxelsync[2 * i], kChHitB, toms[i % 3], kTom, 60);
            hit(voxelsync[2 * i], kChLead, uint8_t(chords[i / 3].pad[i % 3] + 12), kLead, 50);
        }
        for (int i = 0; i < 9; ++i)  // each stab is short: a note-off on the next row
            score_.release(timeline_.place(voxelsync[2 * i]).first + 1, kChLead);
        // The last row: a single stop before the plasma.
        score_.release(b + 64, kChBass);
        score_.play(b + 64, kChSnare, kC4, kSnare, 50);
    }

    // Plasma: the air clears; half-time beat, pad and a call-and-response lead over Dm F C G.
    void plasma() {
        const int b = firstRow(kPlasma);
        const Chord chords[4] = {kDm, kF, kC, kG};
        crash(b, 50);
        for (int bar = 0; bar < 4; ++bar) {
            const int r = b + bar * 16;
            pad(r, chords[bar], 40);
            bassBar(r, chords[bar], "r.......r..o....", 50);
            arp(r, 16, chords[bar], 3, 26, 2);
            drumBar(r, "x.........x.....", "........x.......", "x.g.x.g.x.g.x.g.", 52);
        }
        melody(b,
               "A5 . . . G5 . F5 . . . E5 . D5 . . . "
               "C5 . . . . . . . - . . . F5 . E5 . "
               "E5 . . . D5 . C5 . . . G5 . E5 . . . "
               "D5 . . . . . . . B4 . . . G4 . - .",
               40);
        vibratoFrom(b + 18, 6);
        vibratoFrom(b + 50, 6);
        // Three rows of silence but for a rising roll: the screen goes black, then the blast.
        padRelease(b + 64);
        score_.release(b + 64, kChBass);
        score_.release(b + 64, kChArp);
        roll(b + 64, 3, 36, 60, true);
    }

    // Radial blur: heavy beat; every bar three accents (kick, crash or clap, and a chord stab)
    // on rows 0, 5 and 9, and a lone last one before the cut.
    void radial() {
        const int b = firstRow(kRadial);
        const Chord chords[8] = {kAm, kF, kC, kG, kAm, kF, kG, kE};
        for (int bar = 0; bar < 8; ++bar) {
            const int r = b + bar * 16, len = bar < 7 ? 16 : 14;
            pad(r, chords[bar], 36);
            bassBar(r, chords[bar], "r...r.r.r.o.r.o.", 54, len);
            arp(r, len, chords[bar], 1, 22, 2);
            drumBar(r, "....x.......x...", "....x.......x...", "xgxgxgxgxgxgxgxg", 56, len);
        }
        for (int w = 0; w < 25; ++w) {
            const double t = radialsync[2 * w];
            const int inGroup = w < 24 ? w % 3 : 0;
            const Chord& c = chords[std::min(7, w / 3)];
            hit(t, kChHitA, kC4, kKick, 64);
            const bool crashes = inGroup == 0 && w < 24;  // the lone last one leaves room for the next crash
            hit(t, kChHitB, kC4, crashes ? kCrash : kClap, crashes ? 60 : 56);
            hit(t, kChLead, uint8_t(c.pad[2] + 12), kLead, 48);
            hit(t, kChEcho, uint8_t(c.pad[0] + 12), kLead, 40);
            const int row = timeline_.place(t).first;
            score_.release(row + 2, kChLead);
            score_.release(row + 2, kChEcho);
        }
    }

    // Plasma with picture: the theme comes back over the full beat, lead an octave up in bars 3-6.
    void reprise() {
        const int b = firstRow(kReprise);
        const Chord chords[6] = {kAm, kF, kC, kG, kDm, kE};
        crash(b, 60);
        score_.play(b, kChSnare, kC4, kSnare, 56);
        mainBeat(b, 6, 56, true);
        for (int bar = 0; bar < 6; ++bar) {
            const int r = b + bar * 16;
            pad(r, chords[bar], 32);
            bassBar(r, chords[bar], "r..r..o.r..r..o.", 54);
            arp(r, 16, chords[bar], 2, 24, 2);
        }
        melody(b,
               "A4 . . C5 . . E5 . D5 . C5 . D5 . E5 . "
               "F5 . . E5 . . C5 . A4 . . . C5 . . . "
               "G5 . . E5 . . C5 . E5 . G5 . A5 . G5 . "
               "D5 . . . B4 . . . G4 . . . . . - . "
               "F5 . . . E5 . D5 . . . A5 . . . F5 . "
               "E5 . . . . . . . G#5 . . . B5 . - .",
               44);
        vibratoFrom(b + 81, 7);
        score_.release(b + 95, kChBass);
        padRelease(b + 95);
    }

    // Black, then the credits: the beat drops out; pad, sub bass and a bell for every page.
    void breakdown() {
        const int b = firstRow(kBreakdown);
        crash(b, 50);  // the screen goes black: the beat stops on a last cymbal and a low boom
        score_.play(b, kChKick, kC4, kKick, 50);
        pad(b, kF, 44);
        pad(b + 16, kE, 44);
        score_.play(b, kChBass, kF.bass, kBass, 40);
        score_.play(b + 16, kChBass, kE.bass, kBass, 40);
        const double pages[5] = {99000, 99800, 100200, 101100, 101600};
        const uint8_t bells[5] = {note(A, 5), note(E, 5), note(C, 6), note(B, 5), note(Gs, 5)};
        for (int i = 0; i < 5; ++i)  // two channels in turn, so each bell rings on under the next
            hit(pages[i], i % 2 ? kChLead : kChBell, bells[i], kBell, 46);
        arp(b + 16, 16, kE, 2, 20, 2);
        score_.play(b + 24, kChCymbal, kC4, kSweep, 50);
        roll(b + 26, 6, 20, 58, false);
    }

    // Finale: everything at once over Am F C G F G, the theme an octave up, into the last hit.
    void finale() {
        const int b = firstRow(kFinale);
        const Chord chords[6] = {kAm, kF, kC, kG, kF, kG};
        crash(b, 60);
        crash(b + 64, 56);
        mainBeat(b, 6, 60, true);
        for (int bar = 0; bar < 6; ++bar) {
            const int r = b + bar * 16;
            pad(r, chords[bar], 36);
            bassBar(r, chords[bar], "r.rr.ro.r.rr.ro.", 56);
            arp(r, 16, chords[bar], 1, 24, 2);
        }
        melody(b,
               "A5 . . C6 . . E6 . D6 . C6 . D6 . E6 . "
               "F6 . . E6 . . C6 . A5 . . . C6 . . . "
               "G6 . . E6 . . C6 . E6 . G6 . A6 . G6 . "
               "D6 . . . B5 . . . G5 . . . . . - . "
               "A5 . . . . . C6 . . . . . F6 . E6 . "
               "D6 . . . . . . . B5 . . . D6 . . .",
               42);
        vibratoFrom(b + 49, 7);
        vibratoFrom(b + 80, 16);
        roll(b + 88, 8, 30, 62, true);
    }

    // The flash: one last Am hit with the crash, then the pad and bells ring out and stop.
    void ending() {
        const int b = firstRow(kEnding);
        hit(115000, kChHitA, kC4, kKick, 64);
        hit(115000, kChHitB, kC4, kCrash, 64);
        hit(115000, kChSnare, kC4, kSnare, 60);
        pad(b, kAm, 48);
        score_.play(b, kChBass, kAm.bass, kBass, 56);
        score_.play(b, kChLead, note(A, 5), kLead, 44);
        score_.play(b, kChBell, note(A, 5), kBell, 44);
        score_.play(b, kChArp, note(E, 6), kPluck, 30);
        score_.release(b, kChEcho);  // the finale's last echo stops under the hit
        score_.release(b + 8, kChLead);
        score_.release(b + 10, kChBass);
        padRelease(b + 10);
    }
};

}  // namespace

XmModule composeSong() {
    Composer c;
    c.compose();
    return c.finish();
}
