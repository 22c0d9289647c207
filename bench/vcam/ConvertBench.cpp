// The virtual camera's per-frame conversion of the shared frame, and of the 1280 x 720 large
// frame, into the device's or the reader's format.

#include <benchmark/benchmark.h>
#include <linux/videodev2.h>

#include <vector>

#include "FrameConvert.h"
#include "SharedFrame.h"

namespace {

// args: fourcc, width (the height follows: 480 for 640, 720 for 1280).
void BM_ConvertSharedFrame(benchmark::State& state) {
    const auto fourcc = static_cast<uint32_t>(state.range(0));
    const int width = static_cast<int>(state.range(1));
    const int height = width == 640 ? 480 : 720;
    std::vector<uint8_t> frame(static_cast<size_t>(width) * height * 3, 90);
    std::vector<uint8_t> out(zavreo::ConvertedFrameBytes(fourcc, width, height));
    for (auto _ : state) {
        zavreo::ConvertSharedFrame(frame.data(), fourcc, out.data(), width, height);
        benchmark::ClobberMemory();
    }
}

}  // namespace

BENCHMARK(BM_ConvertSharedFrame)
    ->ArgNames({"fourcc", "width"})
    ->ArgsProduct({{V4L2_PIX_FMT_YUYV, V4L2_PIX_FMT_YUV420, V4L2_PIX_FMT_BGR24,
                    V4L2_PIX_FMT_XBGR32},
                   {640, 1280}})
    ->Unit(benchmark::kMicrosecond);
