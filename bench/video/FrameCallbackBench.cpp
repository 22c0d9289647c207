// Cost of one camera frame through the callback: effects, last-frame copy, shared-frame write.

#include <benchmark/benchmark.h>

#include <vector>

#include "BenchPipeline.h"

using namespace zavreo;

namespace {

void RunFrames(benchmark::State& state, int width, int height, bool mirror) {
    BenchPipeline pipeline(width, height);
    if (mirror) {
        pipeline.callback.ConfigureEffect(kEffectAdd, kEffectMirror, {{"hflip", "true"}});
    }
    std::vector<uint8_t> buffer(static_cast<size_t>(width) * height * 3, 128);
    for (auto _ : state) {
        pipeline.callback.BufferCB(0, buffer.data(), static_cast<long>(buffer.size()));
        benchmark::ClobberMemory();
    }
}

void BM_BufferCB_640x480_EmptyChain(benchmark::State& s) {
    RunFrames(s, 640, 480, false);
}
void BM_BufferCB_640x480_Mirror(benchmark::State& s) {
    RunFrames(s, 640, 480, true);
}
void BM_BufferCB_1280x720_EmptyChain(benchmark::State& s) {
    RunFrames(s, 1280, 720, false);
}

}  // namespace

BENCHMARK(BM_BufferCB_640x480_EmptyChain)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BufferCB_640x480_Mirror)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BufferCB_1280x720_EmptyChain)->Unit(benchmark::kMicrosecond);
