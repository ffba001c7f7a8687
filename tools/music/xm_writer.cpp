// xm_writer.cpp: serialises an XmModule into the little-endian layout of an XM 1.04 file.
#include "xm_writer.h"

#include <cstdio>
#include <stdexcept>

namespace {

constexpr int kPatternHeaderSize = 9;
constexpr int kSongHeaderSize = 276;  // counted from the header-size field itself
constexpr int kMaxPackedPattern = 32767;

struct Out {
    std::vector<uint8_t> bytes;
    void u8(unsigned v) { bytes.push_back(uint8_t(v)); }
    void u16(unsigned v) { u8(v & 0xFF); u8((v >> 8) & 0xFF); }
    void u32(uint32_t v) { u16(v & 0xFFFF); u16(v >> 16); }
    void text(const std::string& s, size_t size) {  // padded with zeros, cut at size
        for (size_t i = 0; i < size; ++i) u8(i < s.size() ? uint8_t(s[i]) : 0);
    }
    void zeros(size_t n) { bytes.insert(bytes.end(), n, 0); }
};

void require(bool ok, const char* what) {
    if (!ok) throw std::invalid_argument(what);
}

// Packed cell: a lead byte with the high bit set says which of the five fields follow.
void packCell(Out& out, const XmCell& c) {
    const uint8_t fields[5] = {c.note, c.instrument, c.volume, c.effect, c.param};
    uint8_t mask = 0;
    for (int i = 0; i < 5; ++i)
        if (fields[i]) mask |= uint8_t(1 << i);
    if (mask == 0x1F) {  // all present: the plain five bytes are shorter
        for (uint8_t f : fields) out.u8(f);
        return;
    }
    out.u8(0x80 | mask);
    for (int i = 0; i < 5; ++i)
        if (fields[i]) out.u8(fields[i]);
}

void writePattern(Out& out, const XmModule& m, const XmPattern& p) {
    require(p.rows >= 1 && p.rows <= kXmMaxRows, "pattern rows out of 1..256");
    require(p.cells.size() == size_t(p.rows * m.channels), "pattern cell count");
    Out data;
    for (const XmCell& c : p.cells) {
        require(c.note <= kXmNoteOff, "note out of range");
        packCell(data, c);
    }
    require(data.bytes.size() <= kMaxPackedPattern, "packed pattern too large");
    out.u32(kPatternHeaderSize);
    out.u8(0);  // packing type
    out.u16(p.rows);
    out.u16(unsigned(data.bytes.size()));
    out.bytes.insert(out.bytes.end(), data.bytes.begin(), data.bytes.end());
}

void writeEnvelopePoints(Out& out, const XmEnvelope& e) {
    require(e.points.size() <= kXmMaxEnvelopePoints, "too many envelope points");
    for (const XmEnvelopePoint& p : e.points) {
        require(p.value <= 64, "envelope value above 64");
        out.u16(p.tick);
        out.u16(p.value);
    }
    out.zeros(4 * (kXmMaxEnvelopePoints - e.points.size()));
}

void writeInstrument(Out& out, const XmInstrument& ins) {
    const XmSample& s = ins.sample;
    require(s.volume <= 64, "sample volume above 64");
    require(s.loop == kLoopNone || (s.loopLength > 0 && s.loopStart + s.loopLength <= s.data.size()),
            "sample loop outside the sample");
    const size_t start = out.bytes.size();
    out.u32(kXmInstrumentHeaderSize);
    out.text(ins.name, 22);
    out.u8(0);   // type
    out.u16(1);  // one sample
    out.u32(kXmSampleHeaderSize);
    out.zeros(96);  // every note plays sample 0
    writeEnvelopePoints(out, ins.volume);
    writeEnvelopePoints(out, ins.panning);
    out.u8(unsigned(ins.volume.points.size()));
    out.u8(unsigned(ins.panning.points.size()));
    out.u8(ins.volume.sustain); out.u8(ins.volume.loopStart); out.u8(ins.volume.loopEnd);
    out.u8(ins.panning.sustain); out.u8(ins.panning.loopStart); out.u8(ins.panning.loopEnd);
    out.u8(ins.volume.flags);
    out.u8(ins.panning.flags);
    out.zeros(4);  // vibrato type, sweep, depth, rate
    out.u16(ins.fadeout);
    out.zeros(kXmInstrumentHeaderSize - (out.bytes.size() - start));  // reserved

    const bool looped = s.loop != kLoopNone;
    out.u32(uint32_t(s.data.size() * 2));  // lengths in bytes: 16-bit data
    out.u32(looped ? s.loopStart * 2 : 0);
    out.u32(looped ? s.loopLength * 2 : 0);
    out.u8(s.volume);
    out.u8(uint8_t(s.finetune));
    out.u8(uint8_t(s.loop) | 0x10);  // bit 4: 16-bit
    out.u8(s.panning);
    out.u8(uint8_t(s.relativeNote));
    out.u8(0);
    out.text(s.name, 22);

    int16_t previous = 0;  // sample data is stored as differences from the previous value
    for (int16_t v : s.data) {
        out.u16(uint16_t(int16_t(v - previous)));
        previous = v;
    }
}

}  // namespace

XmPattern makePattern(const XmModule& module, int rows) {
    XmPattern p;
    p.rows = rows;
    p.cells.assign(size_t(rows * module.channels), XmCell{});
    return p;
}

XmCell& cellAt(const XmModule& module, XmPattern& pattern, int row, int channel) {
    return pattern.cells[size_t(row * module.channels + channel)];
}

std::vector<uint8_t> writeXm(const XmModule& m) {
    require(m.channels >= 1 && m.channels <= kXmMaxChannels, "channels out of 1..64");
    require(!m.orders.empty() && m.orders.size() <= 256, "order list length out of 1..256");
    require(m.patterns.size() >= 1 && m.patterns.size() <= 256, "pattern count out of 1..256");
    require(m.instruments.size() <= 128, "more than 128 instruments");
    require(m.speed >= 1 && m.speed <= 31, "speed out of 1..31");
    require(m.bpm >= 32 && m.bpm <= 255, "BPM out of 32..255");
    require(m.restart < m.orders.size(), "restart position beyond the order list");
    for (uint8_t o : m.orders) require(o < m.patterns.size(), "order names a missing pattern");

    Out out;
    out.text("Extended Module: ", 17);
    out.text(m.name, 20);
    out.u8(0x1A);
    out.text(m.tracker, 20);
    out.u16(0x0104);
    out.u32(kSongHeaderSize);
    out.u16(unsigned(m.orders.size()));
    out.u16(m.restart);
    out.u16(unsigned(m.channels));
    out.u16(unsigned(m.patterns.size()));
    out.u16(unsigned(m.instruments.size()));
    out.u16(m.linearFrequencies ? 1 : 0);
    out.u16(m.speed);
    out.u16(m.bpm);
    for (int i = 0; i < 256; ++i) out.u8(i < int(m.orders.size()) ? m.orders[size_t(i)] : 0);
    for (const XmPattern& p : m.patterns) writePattern(out, m, p);
    for (const XmInstrument& ins : m.instruments) writeInstrument(out, ins);
    return out.bytes;
}

bool saveFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}
