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

// The picture scenes and a credit page (full-frame copies), and the cube over stripes and logo.
BENCHMARK(BM_Window)
    ->ArgName("t")
    ->Arg(12000)    // helmet with its wave line
    ->Arg(40000)    // the pan over the tall picture
    ->Arg(99100)    // a credit page over the black of its window
    ->Arg(25000);   // clear, stripes and logo, cube

// One frame of a scene alone, at a time inside its window.
template <void (*Effect)(uint32_t*, int32_t)>
void BM_Scene(benchmark::State& state) {
    auto& frame = frameBuffer();
    const int32_t t = static_cast<int32_t>(state.range(0));
    for (auto _ : state) {
        Effect(frame.data(), t);
        benchmark::ClobberMemory();
    }
}
// The clock: one background copy and four blended triangles. Target: at most 30 times
// BM_FloorMemset of the same run.
BENCHMARK(BM_Scene<effect10>)->Name("BM_effect10_clock")->ArgName("t")->Arg(0)->Arg(1500)->Arg(5000)->Arg(8799);
BENCHMARK(BM_Scene<effect4>)->Name("BM_effect4_voxel")->ArgName("t")->Arg(51500)->Arg(55000);
BENCHMARK(BM_Scene<effect9>)->Name("BM_effect9_plasma")->ArgName("t")->Arg(64000);
BENCHMARK(BM_Scene<effect7>)->Name("BM_effect7_radial")->ArgName("t")->Arg(70000);
BENCHMARK(BM_Scene<effect2>)->Name("BM_effect2_plasma_portrait")->ArgName("t")->Arg(90000);
BENCHMARK(BM_Scene<effect12>)->Name("BM_effect12_plasma_portrait")->ArgName("t")->Arg(108000);

// The whole show at 60 frames per second, in order on one frame buffer: 115 600 ms of scenes and
// fade, 6936 frames. CPU time is the figure; real time is the show's 115.6 s.
void BM_WholeShow60fps(benchmark::State& state) {
    constexpr int kFrames = 6936;
    auto& frame = frameBuffer();
    for (auto _ : state) {
        for (int k = 0; k < kFrames; ++k) doDemoAt(frame.data(), static_cast<int32_t>(k * 1000 / 60));
        benchmark::ClobberMemory();
    }
    state.counters["frames"] = kFrames;
}
BENCHMARK(BM_WholeShow60fps)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
    initDemo();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
