// init.cpp: the start-up sequence, in the order the later builders depend on.
#include "demo.h"

#include <vector>

#include "2d/frame.h"
#include "effects/effects.h"
#include "effects/tables.h"

void initDemo() {
    calc_sine();  // every map and scene reads these, so they come first
    effect1_init();
    effect2_init();  // xmap, ymap from sine and cose
    effect4_init();  // voxelmap from sine and cose
    prepareVoxelSky();
    effect5_init();  // the logo as frame words and runs
    effect7_init();  // the silhouette's runs
    effect6_init();  // the pan's picture as frame words
    effect8_init();  // the helmet as frame words
    effect9_init();  // the plasma scenes' pictures as frame words, the maps' words, the portraits' runs
    effect10_init();  // the clock's two texture records and its background as frame words
    effect11_init();
}

void warmScenes() {
    std::vector<uint32_t> frame(kPixels, 0);
    for (int w = 0; w < kShowWindowCount; ++w) doDemoAt(frame.data(), kShowWindows[w].start + 1000);
}
