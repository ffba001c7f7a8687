// coverRuns.h: a full-frame picture's rows cut once into runs by alpha, so that drawing it over
// something else tests no alpha per pixel.
#pragma once
#include <cstdint>
#include <vector>

// How a picture pixel meets what lies below it: left bare, covered by the picture alone, or mixed.
enum class Cover : uint8_t { bare, covered, mixed };

// Pixels start .. start + length - 1 of one row, all of one kind.
struct CoverRun {
    uint16_t start;
    uint16_t length;
    Cover cover;
};

struct CoverRuns {
    std::vector<CoverRun> runs;     // row 0's runs, then row 1's, ...
    std::vector<uint32_t> rowRuns;  // row y's runs are runs[rowRuns[y]] .. runs[rowRuns[y + 1] - 1]
};

// The runs of a 320 x 240 picture (red, green, blue, alpha bytes): alpha below bareBelow is bare,
// from coveredFrom on covered, anything between mixed.
CoverRuns findCoverRuns(const uint8_t* picture, uint32_t bareBelow, uint32_t coveredFrom);
