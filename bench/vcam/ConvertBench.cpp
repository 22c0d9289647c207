// The virtual camera's per-frame conversion of the shared frame into the device's format.

#include <benchmark/benchmark.h>
#include <linux/videodev2.h>

#include <vector>

#include "FrameConvert.h"
#include "SharedFrame.h"

namespace {

void BM_ConvertSharedFrame(benchmark::State& state) {
    const auto fourcc = static_cast<uint32_t>(state.range(0));
    std::vector<uint8_t> frame(zavreo::kFrameBytes, 90);
    std::vector<uint8_t> out(zavreo::ConvertedFrameBytes(fourcc));
    for (auto _ : state) {
        zavreo::ConvertSharedFrame(frame.data(), fourcc, out.data());
        benchmark::ClobberMemory();
    }
}

}  // namespace

BENCHMARK(BM_ConvertSharedFrame)
    ->ArgName("fourcc")
    ->Arg(V4L2_PIX_FMT_YUYV)
    ->Arg(V4L2_PIX_FMT_YUV420)
    ->Arg(V4L2_PIX_FMT_BGR24)
    ->Arg(V4L2_PIX_FMT_XBGR32)
    ->Unit(benchmark::kMicrosecond);
