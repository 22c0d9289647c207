// What the effects pages cost the video: the longest wait between two delivered frames of a
// running 15 fps stand-in camera while a decoration is chosen and dropped, and the time each
// page action takes on the interface thread (during which it may hold the pipeline lock).

#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "../video/BenchPipeline.h"
#include "CCameraGraph.h"
#include "CameraDiscovery.h"
#include "DecorationDefinitions.h"
#include "SubtitleFonts.h"

using namespace zavreo;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kFlash = 3;  // decoration 4, the 53-frame one

// Resources are read relative to the program's folder.
void EnterProgramFolder() {
    if (chdir(ZAVREO_BIN_DIR) != 0) {
        std::abort();
    }
}

// Notes the time of every frame the graph delivers, polling each millisecond.
class FrameClock {
public:
    explicit FrameClock(const CCameraGraph& graph) : graph_(graph), thread_([this] { Run(); }) {}
    ~FrameClock() {
        stop_ = true;
        thread_.join();
    }
    // Gaps between consecutive frames, in milliseconds.
    std::vector<double> Gaps() const {
        std::vector<double> gaps;
        for (size_t i = 1; i < times_.size(); ++i) {
            gaps.push_back(
                std::chrono::duration<double, std::milli>(times_[i] - times_[i - 1]).count());
        }
        return gaps;
    }

private:
    void Run() {
        uint64_t seen = graph_.FramesDelivered();
        while (!stop_) {
            const uint64_t now = graph_.FramesDelivered();
            if (now != seen) {
                seen = now;
                times_.push_back(Clock::now());
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }

    const CCameraGraph& graph_;
    std::vector<Clock::time_point> times_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

void BM_FrameGapWhileChoosingDecoration(benchmark::State& state) {
    EnterProgramFolder();
    setenv("ZAVREO_TEST_CAMERA", "1", 1);
    const auto definitions = effects::BuildDecorationDefinitions();
    const char* name = effects::kDecorationNames[kFlash].instance;
    BenchPipeline pipeline(640, 480);
    CCameraGraph graph(pipeline.callback);
    graph.CreateObjects();
    if (graph.StartGraph(480, 640, false, kTestCameraName, nullptr) != 0) {
        state.SkipWithError("the stand-in camera did not start");
        return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    std::vector<double> gaps;
    for (auto _ : state) {
        FrameClock clock(graph);
        for (int choice = 0; choice < 5; ++choice) {
            std::this_thread::sleep_for(std::chrono::milliseconds(250));
            pipeline.callback.ConfigureOverlay(kEffectAdd, name, definitions[kFlash]);
            std::this_thread::sleep_for(std::chrono::milliseconds(250));
            pipeline.callback.ConfigureOverlay(kEffectRemove, name, {});
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(250));
        const auto more = clock.Gaps();
        gaps.insert(gaps.end(), more.begin(), more.end());
    }
    graph.Teardown();
    std::sort(gaps.begin(), gaps.end());
    state.counters["longest_gap_ms"] = gaps.empty() ? 0 : gaps.back();
    state.counters["median_gap_ms"] = gaps.empty() ? 0 : gaps[gaps.size() / 2];
}

// One page action through the frame callback, with the chain as the pages leave it.
void BM_PageAction(benchmark::State& state) {
    EnterProgramFolder();
    BenchPipeline pipeline(640, 480);
    CSampleGrabberCB& callback = pipeline.callback;
    callback.ConfigureEffect(kEffectAdd, kEffectText,
                             {{"text", "欢迎使用Zavreo直播助手"},
                              {"font_file", effects::SubtitleFontFile(1)},
                              {"font_size", "36"}});
    callback.ConfigureEffect(kEffectAdd, kEffectScale, {{"scale", "0.00"}});
    callback.ConfigureEffect(kEffectAdd, kEffectBright, {{"brightness", "40"}});
    callback.ConfigureEffect(kEffectAdd, kEffectDomainTransform, {{"level", "15"}});
    callback.ConfigureEffect(kEffectAdd, kEffectSun, {{"type", "0"}});
    const auto definitions = effects::BuildDecorationDefinitions();
    int step = 0;
    for (auto _ : state) {
        ++step;
        switch (state.range(0)) {
            case 0:  // a slimming drag
                callback.ConfigureEffect(kEffectModify, kEffectScale,
                                         {{"scale", effects::ScaleValue(step % 101)}});
                break;
            case 1:  // a whitening drag
                callback.ConfigureEffect(kEffectModify, kEffectBright,
                                         {{"brightness", effects::BrightnessValue(step % 101)}});
                break;
            case 2:  // a smoothing drag
                callback.ConfigureEffect(kEffectModify, kEffectDomainTransform,
                                         {{"level", effects::LevelValue(step % 101)}});
                break;
            case 3:  // typing in the subtitle
                callback.ConfigureEffect(kEffectModify, kEffectText,
                                         {{"text", "欢迎使用" + std::to_string(step)}});
                break;
            case 4:  // another subtitle size
                callback.ConfigureEffect(kEffectModify, kEffectText,
                                         {{"font_size", step % 2 ? "60" : "36"}});
                break;
            case 5:  // the second sun preset
                callback.ConfigureEffect(kEffectModify, kEffectSun,
                                         {{"type", step % 2 ? "2" : "0"}});
                break;
            default:  // decoration 4 chosen and closed
                callback.ConfigureOverlay(kEffectAdd, effects::kDecorationNames[kFlash].instance,
                                          definitions[kFlash]);
                callback.ConfigureOverlay(kEffectRemove, effects::kDecorationNames[kFlash].instance,
                                          {});
                break;
        }
    }
}

}  // namespace

BENCHMARK(BM_FrameGapWhileChoosingDecoration)->Iterations(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PageAction)->ArgName("action")->DenseRange(0, 6)->Unit(benchmark::kMicrosecond);
