// coverRuns.cpp: a picture's rows cut into bare, covered and mixed runs by alpha.
#include "coverRuns.h"

#include "2d/frame.h"

CoverRuns findCoverRuns(const uint8_t* picture, uint32_t bareBelow, uint32_t coveredFrom) {
    const auto coverAt = [&](int i) {
        const uint32_t alpha = picture[4 * i + 3];
        return alpha < bareBelow ? Cover::bare : alpha >= coveredFrom ? Cover::covered : Cover::mixed;
    };
    CoverRuns found;
    found.rowRuns.push_back(0);
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth;) {
            const Cover cover = coverAt(y * kWidth + x);
            int end = x + 1;
            while (end < kWidth && coverAt(y * kWidth + end) == cover) ++end;
            found.runs.push_back({static_cast<uint16_t>(x), static_cast<uint16_t>(end - x), cover});
            x = end;
        }
        found.rowRuns.push_back(static_cast<uint32_t>(found.runs.size()));
    }
    return found;
}
