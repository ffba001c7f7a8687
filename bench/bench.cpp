// bench.cpp: one frame of each timeline window beside the floor of touching one frame at all.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "2d/frame.h"
#include "effects/effects.h"
#include "main/demo.h"

namespace {

std::vector<uint32_t>& frameBuffer() {
    static std::vector<uint32_t> frame(kPixels, 0);
    return frame;
}

void BM_FloorMemset(benchmark::State& state) {
    auto& frame = frameBuffer();
    for (auto _ : state) {
        std::memset(frame.data(), 0, kPixels * 4);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_FloorMemset);

void BM_FloorMemcpy(benchmark::State& state) {
    auto& frame = frameBuffer();
    static std::vector<uint32_t> source(kPixels, 0x123456);
    for (auto _ : state) {
        std::memcpy(frame.data(), source.data(), kPixels * 4);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_FloorMemcpy);

// One frame of a timeline window, drawn at a representative show time.
void BM_Window(benchmark::State& state) {
    auto& frame = frameBuffer();
    const int32_t t = static_cast<int32_t>(state.range(0));
    for (auto _ : state) {
        doDemoAt(frame.data(), t);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_Window)
    ->ArgName("t")
    ->Arg(5000)     // the clock, both dials turned
    ->Arg(68400)    // black before the radial blur
    ->Arg(115064)   // the flash
    ->Arg(115400)   // the fade
    ->Arg(116000);  // black after the end

// The clock scene alone: one background copy and four blended triangles. Target: at most 30 times
// BM_FloorMemset of the same run.
void BM_Clock(benchmark::State& state) {
    auto& frame = frameBuffer();
    const int32_t t = static_cast<int32_t>(state.range(0));
    for (auto _ : state) {
        effect10(frame.data(), t);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_Clock)->ArgName("t")->Arg(0)->Arg(1500)->Arg(5000)->Arg(8799);

}  // namespace

int main(int argc, char** argv) {
    initDemo();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
