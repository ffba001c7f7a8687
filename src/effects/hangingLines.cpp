// hangingLines.cpp: twenty white wavy lines hanging from the top of the screen.
#include "effects.h"

#include <cstdlib>

#include "2d/2d.h"
#include "tables.h"

namespace {

constexpr int kLines = 20;
constexpr int kCentre = 160;
constexpr int kSegmentHeight = 5;
constexpr int kBudget = 430;  // sideways travel shortens a line: it stops once y reaches what is left
constexpr uint32_t kWhite = 0xFFFFFF;

}  // namespace

void effect3_init() {}

void effect3(uint32_t* frame, int32_t t) {
    const int a = t / 40;                    // truncates toward zero
    const int s = S(a) >> 2;        // -64..64: the whole bunch sways
    for (int i = 0; i < kLines; ++i) {
        int x0 = kCentre + s;
        int y = 1;
        int budget = kBudget;
        do {
            const int p = S(a * i + 10 * y + 430 * i);
            const int q = C(a * i + 5 * y + 730 * i);
            const int x1 = kCentre + s + ((y * p) >> 10) + ((y * q) >> 10);  // arithmetic shifts
            budget -= std::abs(x1 - x0);
            PutLine(frame, x0, y, x1, y + kSegmentHeight, kWhite);
            x0 = x1;
            y += kSegmentHeight;
        } while (y < budget);
    }
}
