// xm_writer.h: an in-memory FastTracker 2 module (XM 1.04) and its serialisation to bytes.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

constexpr int kXmMaxChannels = 64;
constexpr int kXmMaxRows = 256;
constexpr int kXmMaxEnvelopePoints = 12;
constexpr uint8_t kXmNoteOff = 97;           // the note value that releases a note
constexpr int kXmInstrumentHeaderSize = 263;  // FastTracker 2's own size, with 22 reserved bytes
constexpr int kXmSampleHeaderSize = 40;

// Sample loop kinds, the low two bits of a sample's type byte.
enum XmLoop : uint8_t { kLoopNone = 0, kLoopForward = 1, kLoopPingPong = 2 };

// Envelope flags.
constexpr uint8_t kEnvOn = 1, kEnvSustain = 2, kEnvLoop = 4;

struct XmEnvelopePoint {
    uint16_t tick;   // x: ticks since the note started
    uint16_t value;  // y: 0..64
};

struct XmEnvelope {
    std::vector<XmEnvelopePoint> points;  // at most 12, ticks ascending, first at 0
    uint8_t sustain = 0, loopStart = 0, loopEnd = 0;
    uint8_t flags = 0;
};

// One 16-bit sample; loop positions count sample frames (the file stores bytes).
struct XmSample {
    std::string name;
    std::vector<int16_t> data;
    uint32_t loopStart = 0, loopLength = 0;
    XmLoop loop = kLoopNone;
    uint8_t volume = 64;    // 0..64
    int8_t finetune = 0;    // 1/128 semitone
    uint8_t panning = 128;  // 0 left .. 255 right
    int8_t relativeNote = 0;
};

// An instrument of one sample, played for every note.
struct XmInstrument {
    std::string name;
    XmSample sample;
    XmEnvelope volume, panning;
    uint16_t fadeout = 0;  // volume lost per tick after note-off, out of 32768
};

struct XmCell {
    uint8_t note = 0;        // 1..96 = C-0..B-7, 97 = off, 0 = none
    uint8_t instrument = 0;  // 1-based, 0 = none
    uint8_t volume = 0;      // volume column: 0x10..0x50 sets 0..64, 0 = none
    uint8_t effect = 0;
    uint8_t param = 0;
};

struct XmPattern {
    int rows = 64;
    std::vector<XmCell> cells;  // rows * channels, row-major
};

struct XmModule {
    std::string name, tracker = "show compose";
    int channels = 8;
    uint16_t speed = 6, bpm = 125;
    bool linearFrequencies = true;
    uint16_t restart = 0;
    std::vector<uint8_t> orders;
    std::vector<XmPattern> patterns;
    std::vector<XmInstrument> instruments;
};

// A pattern of the module's channel count, every cell empty.
XmPattern makePattern(const XmModule& module, int rows);
XmCell& cellAt(const XmModule& module, XmPattern& pattern, int row, int channel);

// The module as an XM file. Throws std::invalid_argument when a field is out of the format's range.
std::vector<uint8_t> writeXm(const XmModule& module);

// Writes the bytes to a file; false when the file cannot be written.
bool saveFile(const std::string& path, const std::vector<uint8_t>& bytes);
