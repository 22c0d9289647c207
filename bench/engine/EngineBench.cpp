// Per-frame cost of every filter on the 640 x 480 portrait, side by side with OpenCV's
// edge-preserving filters on the same frame, and of the whole chain on the same scene from a
// 1280 x 720 camera. After the usual output it prints each benchmark's median and how many times
// faster than cv::edgePreservingFilter it ran in this same run, and how many times the 1280 x 720
// chain took the 640 x 480 one (2.96 times the pixels).

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <opencv2/core.hpp>
#include <opencv2/photo.hpp>
#include <opencv2/ximgproc.hpp>
#include <string>
#include <vector>

#include "EngineScenes.h"

namespace {

const scenes::Frame& Portrait() {
    static const scenes::Frame portrait = scenes::Portrait();
    return portrait;
}

const scenes::Frame& PortraitHd() {
    static const scenes::Frame portrait = scenes::PortraitHd();
    return portrait;
}

cv::Mat PortraitMat() {
    const scenes::Frame& p = Portrait();
    return cv::Mat(p.image.height, p.image.width, CV_8UC3, const_cast<uint8_t*>(p.bytes.data()))
        .clone();
}

void BM_EdgePreservingFilter(benchmark::State& state) {
    const cv::Mat src = PortraitMat();
    cv::Mat dst;
    for (auto _ : state) {
        cv::edgePreservingFilter(src, dst, cv::RECURS_FILTER);
        benchmark::DoNotOptimize(dst.data);
    }
}
BENCHMARK(BM_EdgePreservingFilter);

void BM_CvDtFilter(benchmark::State& state) {
    const cv::Mat src = PortraitMat();
    cv::Mat dst;
    for (auto _ : state) {
        cv::ximgproc::dtFilter(src, src, dst, 20.0, 40.0, cv::ximgproc::DTF_RF, 3);
        benchmark::DoNotOptimize(dst.data);
    }
}
BENCHMARK(BM_CvDtFilter);

void BM_FrameCopy(benchmark::State& state) {
    scenes::Frame frame(Portrait());
    for (auto _ : state) {
        std::memcpy(frame.bytes.data(), Portrait().bytes.data(), frame.bytes.size());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_FrameCopy);

void BM_FrameCopyHd(benchmark::State& state) {
    scenes::Frame frame(PortraitHd());
    for (auto _ : state) {
        std::memcpy(frame.bytes.data(), PortraitHd().bytes.data(), frame.bytes.size());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_FrameCopyHd);

// Each iteration starts from a fresh copy of the portrait (one frame copy is included) and
// arrives 40 ms after the one before. The first frame, which builds the filters' tables, is not
// timed.
void RunChain(benchmark::State& state, EM::EffectManager& engine,
              const scenes::Frame& source = Portrait()) {
    scenes::Frame frame(source);
    uint32_t time = 0;
    engine.DoFilter(&frame.image);
    for (auto _ : state) {
        std::memcpy(frame.bytes.data(), source.bytes.data(), frame.bytes.size());
        frame.image.timeMs = time += 40;
        engine.DoFilter(&frame.image);
        benchmark::ClobberMemory();
    }
}

void BM_Filter(benchmark::State& state, const std::string& type, const EM::ParamMap& params) {
    EM::EffectManager engine;
    engine.AddFilter("f", type, params);
    RunChain(state, engine);
}
// The same filter on the 1280 x 720 scene, prepared for it beforehand.
void BM_FilterHd(benchmark::State& state, const std::string& type, const EM::ParamMap& params) {
    EM::EffectManager engine;
    engine.AddFilter("f", type, params);
    engine.Prepare(PortraitHd().image.width, PortraitHd().image.height);
    RunChain(state, engine, PortraitHd());
}
BENCHMARK_CAPTURE(BM_FilterHd, DomainTransform30, "DomainTransformFilter", {{"level", "30"}});
BENCHMARK_CAPTURE(BM_FilterHd, Mirror, "MirrorFilter", {{"hflip", "true"}});
BENCHMARK_CAPTURE(BM_FilterHd, Bright80, "BrightFilter", {{"brightness", "80"}});
BENCHMARK_CAPTURE(BM_FilterHd, ScaleMinus1, "ScaleFilter", {{"scale", "-1.00"}});
BENCHMARK_CAPTURE(BM_FilterHd, Whiter, "WhiterFilter", {});
BENCHMARK_CAPTURE(BM_FilterHd, SunBoth, "SunFilter", {{"type", "2"}});
BENCHMARK_CAPTURE(BM_FilterHd, Movie, "MovieFilter", {});
BENCHMARK_CAPTURE(BM_FilterHd, Sweet, "SweetFilter", {});
BENCHMARK_CAPTURE(BM_FilterHd, Subtitle, "TextFilter", scenes::Subtitle());
BENCHMARK_CAPTURE(BM_FilterHd, Overlay, "OverlayFilter", scenes::Sticker(0, "500", "500"));
BENCHMARK_CAPTURE(BM_Filter, DomainTransform30, "DomainTransformFilter", {{"level", "30"}});
BENCHMARK_CAPTURE(BM_Filter, DomainTransform15, "DomainTransformFilter", {{"level", "15"}});
BENCHMARK_CAPTURE(BM_Filter, Mirror, "MirrorFilter", {{"hflip", "true"}});
BENCHMARK_CAPTURE(BM_Filter, Bright80, "BrightFilter", {{"brightness", "80"}});
BENCHMARK_CAPTURE(BM_Filter, ScaleMinus1, "ScaleFilter", {{"scale", "-1.00"}});
BENCHMARK_CAPTURE(BM_Filter, Whiter, "WhiterFilter", {});
BENCHMARK_CAPTURE(BM_Filter, Sweet, "SweetFilter", {});
BENCHMARK_CAPTURE(BM_Filter, SunBoth, "SunFilter", {{"type", "2"}});
BENCHMARK_CAPTURE(BM_Filter, Movie, "MovieFilter", {});
BENCHMARK_CAPTURE(BM_Filter, Subtitle, "TextFilter", scenes::Subtitle());
BENCHMARK_CAPTURE(BM_Filter, Overlay, "OverlayFilter", scenes::Sticker(0, "500", "500"));

void BM_FiveOverlays(benchmark::State& state) {
    EM::EffectManager engine;
    for (int i = 0; i < 5; ++i) {
        engine.AddFilter("o" + std::to_string(i), "OverlayFilter",
                         scenes::Sticker(i, i % 2 ? "1000" : "0", std::to_string(i * 250).c_str()));
    }
    RunChain(state, engine);
}
BENCHMARK(BM_FiveOverlays);

// Every filter on at once, the mirror included.
void BM_FullChain(benchmark::State& state) {
    EM::EffectManager engine;
    scenes::AddFullChain(engine);
    engine.AddFilter("TestMirror", "MirrorFilter", {{"hflip", "true"}});
    RunChain(state, engine);
}
BENCHMARK(BM_FullChain);

// The same at 1280 x 720, the decorations and the subtitle scaled for it beforehand, as the
// camera's opening does.
void BM_FullChainHd(benchmark::State& state) {
    EM::EffectManager engine;
    scenes::AddFullChain(engine);
    engine.AddFilter("TestMirror", "MirrorFilter", {{"hflip", "true"}});
    engine.Prepare(PortraitHd().image.width, PortraitHd().image.height);
    RunChain(state, engine, PortraitHd());
}
BENCHMARK(BM_FullChainHd);

// Keeps the medians of the repeated runs for the summary.
class MedianReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median") {
                const double ms = run.GetAdjustedCPUTime() *
                                  benchmark::GetTimeUnitMultiplier(benchmark::kMillisecond) /
                                  benchmark::GetTimeUnitMultiplier(run.time_unit);
                names_.push_back(run.run_name.str());
                medians_[run.run_name.str()] = ms;
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }
    void PrintSummary() const {
        const auto reference = medians_.find("BM_EdgePreservingFilter");
        std::printf("\n%-40s %12s %16s\n", "benchmark", "median ms", "x faster than cv");
        for (const std::string& name : names_) {
            const double ms = medians_.at(name);
            if (reference != medians_.end() && ms > 0) {
                std::printf("%-40s %12.3f %16.1f\n", name.c_str(), ms, reference->second / ms);
            } else {
                std::printf("%-40s %12.3f %16s\n", name.c_str(), ms, "-");
            }
        }
        const auto small = medians_.find("BM_FullChain");
        const auto large = medians_.find("BM_FullChainHd");
        if (small != medians_.end() && large != medians_.end() && small->second > 0) {
            std::printf("\nfull chain 1280 x 720 / 640 x 480: %.2f times\n",
                        large->second / small->second);
        }
    }

private:
    std::vector<std::string> names_;
    std::map<std::string, double> medians_;
};

}  // namespace

int main(int argc, char** argv) {
    std::vector<char*> args(argv, argv + argc);
    static char repetitions[] = "--benchmark_repetitions=9";
    static char minTime[] = "--benchmark_min_time=0.2";
    static char aggregates[] = "--benchmark_report_aggregates_only=true";
    args.insert(args.begin() + 1, {repetitions, minTime, aggregates});  // later flags win
    int count = static_cast<int>(args.size());
    benchmark::Initialize(&count, args.data());
    MedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintSummary();
    benchmark::Shutdown();
    return 0;
}
