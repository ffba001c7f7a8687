// score.h: a song as one long run of rows, cut into XM patterns at the end.
#pragma once
#include "xm_writer.h"

// XM note numbers: 1 is C-0, so C-4 is 49.
constexpr uint8_t note(int semitoneInOctave, int octave) { return uint8_t(1 + 12 * octave + semitoneInOctave); }
constexpr uint8_t kC4 = note(0, 4);

// Effect numbers of the XM effect column used by the tools.
constexpr uint8_t kFxArpeggio = 0x0, kFxPortaUp = 0x1, kFxVibrato = 0x4, kFxVolumeSlide = 0xA,
                  kFxSetVolume = 0xC, kFxExtended = 0xE, kFxTempo = 0xF, kFxGlobalVolume = 0x10;
constexpr uint8_t kExRetrigger = 0x90, kExNoteCut = 0xC0, kExNoteDelay = 0xD0;

// The volume column's "set volume" form.
constexpr uint8_t volumeColumn(int v) { return uint8_t(0x10 + (v < 0 ? 0 : v > 64 ? 64 : v)); }

struct Score {
    int channels = 0;
    int rows = 0;
    std::vector<XmCell> cells;

    Score(int channelCount, int rowCount)
        : channels(channelCount), rows(rowCount), cells(size_t(channelCount * rowCount)) {}
    XmCell& at(int row, int channel) { return cells[size_t(row * channels + channel)]; }
    const XmCell& at(int row, int channel) const { return cells[size_t(row * channels + channel)]; }

    // Puts a note with its instrument and volume (0..64); keeps any effect already there.
    void play(int row, int channel, uint8_t n, uint8_t instrument, int volume = 64);
    void release(int row, int channel);  // note-off
    void effect(int row, int channel, uint8_t fx, uint8_t param);
};

// Cuts the rows into patterns: a new pattern at every row listed in breaks and after 64 rows.
// The order list plays them once each, in turn, so the song ends after its last row.
void scoreToModule(const Score& score, const std::vector<int>& breaks, XmModule& module);
