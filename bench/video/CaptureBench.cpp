// Capture to shared frame: the per-frame cost of the work after the camera (format conversion in
// the pipeline, row copy, scaling, effects, shared-frame write), and the CPU the running camera
// pipeline uses at 15 frames per second.

#include <benchmark/benchmark.h>
#include <gst/gst.h>
#include <stdlib.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "../ProcessCpu.h"
#include "BenchPipeline.h"
#include "CCameraGraph.h"
#include "CameraDiscovery.h"
#include "GstSupport.h"

using namespace zavreo;

namespace {

// Row copy into the callback's layout, then the callback itself (scaling at other sizes).
void BM_CopyAndCallback(benchmark::State& state) {
    const int width = static_cast<int>(state.range(0));
    const int height = static_cast<int>(state.range(1));
    BenchPipeline pipeline(width, height);
    const int stride = width * 3 + 64;  // a padded top-down frame as a pipeline hands it over
    std::vector<uint8_t> sample(static_cast<size_t>(stride) * height, 77);
    std::vector<uint8_t> packed(static_cast<size_t>(width) * height * 3);
    for (auto _ : state) {
        CopyBottomUp(sample.data(), stride, width, height, packed.data());
        pipeline.callback.BufferCB(0, packed.data(), static_cast<long>(packed.size()));
        benchmark::ClobberMemory();
    }
}

// Seconds of wall time per frame for `frames` frames through `description`.
double RunPipeline(const std::string& description, int frames) {
    GstElement* pipeline = gst_parse_launch(description.c_str(), nullptr);
    const auto start = std::chrono::steady_clock::now();
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    GstBus* bus = gst_element_get_bus(pipeline);
    GstMessage* done = gst_bus_timed_pop_filtered(
        bus, GST_CLOCK_TIME_NONE, static_cast<GstMessageType>(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    gst_message_unref(done);
    gst_object_unref(bus);
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(pipeline);
    return seconds / frames;
}

// YUY2 to BGR in the pipeline: the same frames with and without the conversion.
void BM_Yuy2ToBgrConversion(benchmark::State& state) {
    EnsureGstInitialised();
    const std::string size =
        ",width=" + std::to_string(state.range(0)) + ",height=" + std::to_string(state.range(1));
    const int frames = 200;
    const std::string source = "videotestsrc pattern=black num-buffers=" + std::to_string(frames);
    for (auto _ : state) {
        const double converted =
            RunPipeline(source + " ! video/x-raw,format=YUY2" + size +
                            " ! videoconvert ! video/x-raw,format=BGR ! fakesink",
                        frames);
        const double plain =
            RunPipeline(source + " ! video/x-raw,format=YUY2" + size + " ! fakesink", frames);
        state.SetIterationTime(converted - plain);
    }
}

// The camera graph on the stand-in camera for three seconds: share of one core it uses, and the
// frames per second it delivers.
void BM_RunningCameraPipeline(benchmark::State& state) {
    setenv("ZAVREO_TEST_CAMERA", "1", 1);
    const int width = static_cast<int>(state.range(0));
    const int height = static_cast<int>(state.range(1));
    BenchPipeline pipeline(width, height);
    CCameraGraph graph(pipeline.callback);
    graph.CreateObjects();
    for (auto _ : state) {
        graph.StartGraph(height, width, false, kTestCameraName, nullptr);
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        const double cpu = ProcessCpuSeconds();
        const uint64_t frames = graph.FramesDelivered();
        const auto start = std::chrono::steady_clock::now();
        std::this_thread::sleep_for(std::chrono::seconds(3));
        const double wall =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.counters["cpu_percent"] = 100.0 * (ProcessCpuSeconds() - cpu) / wall;
        state.counters["fps"] = static_cast<double>(graph.FramesDelivered() - frames) / wall;
        graph.Teardown();
    }
}

}  // namespace

BENCHMARK(BM_CopyAndCallback)->Args({640, 480})->Args({1280, 720})->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Yuy2ToBgrConversion)
    ->Args({640, 480})
    ->Args({1280, 720})
    ->UseManualTime()
    ->Iterations(3)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RunningCameraPipeline)
    ->Args({640, 480})
    ->Args({1280, 720})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
