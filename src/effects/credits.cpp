// credits.cpp: the five credit pages that flash near the end, and the keyed variant of the first.
#include "effects.h"

#include <cstring>

#include "2d/frame.h"
#include "assets/pictures.h"
#include "pictureCopy.h"

namespace {

// A page stands still for as long as it shows: the last page drawn is kept as frame words, so
// every frame of a page after its first is a copy of them, a twentieth of the repacking's cost
// on the device.
uint32_t pageWords[kPixels];
const uint8_t* pageKept = nullptr;

void showPage(uint32_t* frame, const uint8_t* page) {
    if (page != pageKept) {
        toFrameWords(pageWords, page, kPixels);
        pageKept = page;
    }
    std::memcpy(frame, pageWords, sizeof pageWords);
}

}  // namespace

// Each page covers the whole frame whatever the time.
void quenor(uint32_t* frame, int32_t) { showPage(frame, cred_quenor); }
void velmit(uint32_t* frame, int32_t) { showPage(frame, cred_velmit); }
void orsadun(uint32_t* frame, int32_t) { showPage(frame, cred_orsadun); }
void fembrik(uint32_t* frame, int32_t) { showPage(frame, cred_fembrik); }
void tessik(uint32_t* frame, int32_t) { showPage(frame, cred_tessik); }

void effect1_init() {}

// The first page over whatever the frame holds, its pure black pixels left out. Alpha is not read.
void effect1(uint32_t* frame, int32_t) {
    for (int i = 0; i < kPixels; ++i) {
        const uint8_t* p = cred_quenor + 4 * i;
        if ((p[0] | p[1] | p[2]) != 0) frame[i] = packPixel(p);
    }
}
