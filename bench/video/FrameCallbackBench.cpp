// Cost of one camera frame through the callback: effects, last-frame copy, shared-frame write.

#include <benchmark/benchmark.h>
#include <sys/mman.h>
#include <unistd.h>

#include <vector>

#include "CSampleGrabberCB.h"

using namespace zavreo;

namespace {

void RunFrames(benchmark::State& state, int width, int height, bool mirror) {
    const std::string name = "/zavreo-bench-" + std::to_string(getpid());
    {
        SharedFrame frame(name);
        EM::EffectManager engine;
        CSampleGrabberCB callback(frame, engine);
        callback.SetCameraSize(width, height);
        if (mirror) {
            callback.ConfigureEffect(kEffectAdd, kEffectMirror, {{"hflip", "true"}});
        }
        std::vector<uint8_t> buffer(static_cast<size_t>(width) * height * 3, 128);
        for (auto _ : state) {
            callback.BufferCB(0, buffer.data(), static_cast<long>(buffer.size()));
            benchmark::ClobberMemory();
        }
    }
    shm_unlink(name.c_str());
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
