// seek.cpp: the frame at any show time as a continuous run has it, and the windows by name.
#include "2d/2d.h"
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

void drawAfterSeek(uint32_t* frame, int32_t t) {
    Clear(frame, 0);
    if (t >= kBlurStart && t < kBlurEnd) {
        // 68500 is itself a 60 fps frame time (frame 4110), so these are the continuous run's frames.
        for (int64_t n = int64_t{kBlurStart} * 60 / 1000; frameTime60(n) < t; ++n) doDemoAt(frame, frameTime60(n));
    } else if (t > 0) {
        doDemoAt(frame, frameTime60((int64_t{t} * 60 - 1) / 1000));  // the run's frame before t, which
    }                                                                   // stays where no window draws
    doDemoAt(frame, t);
}
