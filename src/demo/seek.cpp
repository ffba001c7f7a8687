// seek.cpp: the frame at any show time as a continuous run has it, and the windows by name.
#include <algorithm>

#include "2d/2d.h"
#include "2d/frame.h"
#include "demo.h"

// The radial blur's window, whose every frame builds on the one before; the black just before it
// is where every run of it starts. If the timeline's windows change, change these too.
constexpr int32_t kBlurBlack = 68300, kBlurStart = 68500, kBlurEnd = 85300;

const ShowWindow kShowWindows[] = {
    {0, "the clock"},
    {8800, "the helmet"},
    {17000, "the stripes and the cube"},
    {34500, "the picture scroll"},
    {51000, "the landscape"},
    {59600, "the plasma"},
    {kBlurBlack, "the radial blur"},
    {85300, "the first portrait"},
    {98000, "the credits"},
    {102250, "the second portrait"},
    {115001, "the finale"},
    {115639, "the end"},
};
const int kShowWindowCount = sizeof kShowWindows / sizeof kShowWindows[0];

int showWindowAt(int32_t t) {
    int index = 0;
    while (index + 1 < kShowWindowCount && kShowWindows[index + 1].start <= t) ++index;
    return index;
}

int32_t nextFrameTime60(int32_t t) {
    int64_t n = (int64_t{t} * 60) / 1000;
    while (frameTime60(n) <= t) ++n;
    return frameTime60(n);
}

// 68500 is itself a 60 fps frame time (frame 4110), so the blur's run is the continuous run's frames.
constexpr int64_t kBlurFirst = int64_t{kBlurStart} * 60 / 1000;
constexpr int kKeptEvery = 60;

void drawAfterSeek(uint32_t* frame, int32_t t) { drawAfterSeek(frame, t, BlurRun{}); }

void drawAfterSeek(uint32_t* frame, int32_t t, const BlurRun& run) {
    Clear(frame, 0);
    if (t >= kBlurStart && t < kBlurEnd) {
        // From the latest frame of the run kept before t, then the run's frames up to t.
        int64_t n = kBlurFirst;
        for (size_t k = run.kept.size(); k-- > 0;) {
            if (frameTime60(kBlurFirst + int64_t(k) * kKeptEvery) < t) {
                std::copy(run.kept[k].begin(), run.kept[k].end(), frame);
                n = kBlurFirst + int64_t(k) * kKeptEvery;
                break;
            }
        }
        for (; frameTime60(n) < t; ++n) doDemoAt(frame, frameTime60(n));
    } else if (t > 0) {
        doDemoAt(frame, frameTime60((int64_t{t} * 60 - 1) / 1000));  // the run's frame before t, which
    }                                                                   // stays where no window draws
    doDemoAt(frame, t);
}

bool keepBlurRun(BlurRun& run, int frames) {
    if (run.drawn < 0) {
        run.frame.assign(size_t(kPixels), 0);
        run.drawn = 0;
    }
    for (; frames > 0 && frameTime60(kBlurFirst + run.drawn) < kBlurEnd; --frames, ++run.drawn) {
        if (run.drawn % kKeptEvery == 0) run.kept.push_back(run.frame);
        doDemoAt(run.frame.data(), frameTime60(kBlurFirst + run.drawn));
    }
    return frameTime60(kBlurFirst + run.drawn) < kBlurEnd;
}
