// score.cpp: writing notes into the row list and cutting it into patterns.
#include "score.h"

#include <algorithm>
#include <stdexcept>

void Score::play(int row, int channel, uint8_t n, uint8_t instrument, int volume) {
    if (row < 0 || row >= rows) return;  // phrases may run past the end of the song
    XmCell& c = at(row, channel);
    c.note = n;
    c.instrument = instrument;
    c.volume = volumeColumn(volume);
}

void Score::release(int row, int channel) {
    if (row < 0 || row >= rows) return;
    XmCell& c = at(row, channel);
    if (c.note == 0) c.note = kXmNoteOff;
}

void Score::effect(int row, int channel, uint8_t fx, uint8_t param) {
    if (row < 0 || row >= rows) return;
    XmCell& c = at(row, channel);
    c.effect = fx;
    c.param = param;
}

void scoreToModule(const Score& score, const std::vector<int>& breaks, XmModule& module) {
    module.channels = score.channels;
    module.patterns.clear();
    module.orders.clear();
    int start = 0;
    while (start < score.rows) {
        int end = std::min(score.rows, start + 64);
        for (int b : breaks)
            if (b > start && b < end) end = b;
        XmPattern p = makePattern(module, end - start);
        std::copy(score.cells.begin() + ptrdiff_t(start) * score.channels,
                  score.cells.begin() + ptrdiff_t(end) * score.channels, p.cells.begin());
        if (module.patterns.size() >= 256) throw std::invalid_argument("song needs over 256 patterns");
        module.orders.push_back(uint8_t(module.patterns.size()));
        module.patterns.push_back(std::move(p));
        start = end;
    }
}
