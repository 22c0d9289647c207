// Processor time of a 10 fps recording through libFlashX.so as the program makes it: a moving
// picture in the shared frame, a private PulseAudio daemon's null sink as the microphone. The
// counter "core_share" is the share of one core the recording used (camera and effects not
// included: they are measured by the video benchmarks).

#include <benchmark/benchmark.h>
#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>
#include <vector>

#include "CodecLibrary.h"
#include "ProcessCpu.h"
#include "PulseServer.h"
#include "RecordArguments.h"
#include "RecordingController.h"
#include "SharedFrame.h"

namespace {

int OnStarted(int32_t, void*) {
    return 0;
}

// Scrolls a textured picture through the shared frame ten times a second.
class MovingPicture {
public:
    explicit MovingPicture(const std::string& name)
        : frame_(name), scene_(zavreo::kFrameBytes * 2), thread_([this] { Run(); }) {}
    ~MovingPicture() {
        stop_ = true;
        thread_.join();
    }

private:
    void Run() {
        for (size_t i = 0; i < scene_.size(); ++i) {
            scene_[i] = static_cast<uint8_t>((i * 7 + (i / zavreo::kFrameStride) * 3) ^ (i >> 9));
        }
        for (size_t k = 0; !stop_; ++k) {
            frame_.Write(&scene_[(k * 8 % zavreo::kFrameHeight) * zavreo::kFrameStride]);
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    }
    zavreo::SharedFrame frame_;
    std::vector<uint8_t> scene_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

void BM_Record10Fps(benchmark::State& state) {
    PulseServer pulse;
    const std::string frameName = "/zavreo-bench-rec-" + std::to_string(getpid());
    setenv("ZAVREO_SHARED_FRAME", frameName.c_str(), 1);
    const std::string folder =
        std::filesystem::temp_directory_path() / ("zavreo-bench-rec-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    zavreo::CodecLibrary library;
    if (!library.Load(ZAVREO_BIN_DIR "/libFlashX.so")) {
        state.SkipWithError("cannot load libFlashX.so");
        return;
    }
    library.Startup(nullptr);
    MovingPicture picture(frameName);
    double cpu = 0, wall = 0;
    for (auto _ : state) {
        auto args = zavreo::RecordArguments(
            zavreo::RecordInputText(pulse.Running() ? PulseServer::kMonitorDescription : ""),
            folder + "/bench.mp4");
        std::vector<char*> argv;
        for (auto& arg : args) {
            argv.push_back(arg.data());
        }
        const int32_t codec = library.CreateCodecN();
        const double cpuBefore = ProcessCpuSeconds();
        const auto begin = std::chrono::steady_clock::now();
        std::thread recording(
            [&] { library.ExecN(codec, static_cast<int>(argv.size()), argv.data(), &OnStarted); });
        std::this_thread::sleep_for(std::chrono::seconds(state.range(0)));
        library.CloseCodecN(codec);
        recording.join();
        wall += std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
        cpu += ProcessCpuSeconds() - cpuBefore;
    }
    state.counters["core_share"] = cpu / wall;
    library.Unload();
    shm_unlink(frameName.c_str());
    std::filesystem::remove_all(folder);
}
BENCHMARK(BM_Record10Fps)->Arg(10)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace

namespace {

// From the record click to the first recorded picture, as the main window drives it: the
// controller's click on the interface thread, the library's start report once the first encoded
// picture is in the file. The goal is under half a second.
void BM_ClickToFirstRecordedPicture(benchmark::State& state) {
    PulseServer pulse;
    const std::string frameName = "/zavreo-bench-start-" + std::to_string(getpid());
    setenv("ZAVREO_SHARED_FRAME", frameName.c_str(), 1);
    const std::filesystem::path home =
        std::filesystem::temp_directory_path() / ("zavreo-bench-start-" + std::to_string(getpid()));
    std::filesystem::create_directories(home);
    setenv("HOME", home.c_str(), 1);
    zavreo::RecordingController controller(
        [&] { return pulse.Running() ? std::string(PulseServer::kMonitorDescription) : ""; });
    zavreo::CodecLibrary library;
    if (!library.Load(ZAVREO_BIN_DIR "/libFlashX.so")) {
        state.SkipWithError("cannot load libFlashX.so");
        return;
    }
    library.Startup(&controller);
    controller.SetEntries({library.CreateCodecN, library.ExecN, library.CloseCodecN});
    MovingPicture picture(frameName);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    for (auto _ : state) {
        const auto click = std::chrono::steady_clock::now();
        controller.ToggleRecording();
        // The library's start report sets Recording before it clears Busy.
        while (!controller.Recording() && controller.Busy()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        if (!controller.Recording()) {
            state.SkipWithError("the recording did not start");
            break;
        }
        state.SetIterationTime(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - click).count());
        controller.ToggleRecording();
        while (controller.Busy()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    // Joins the last record thread while the library is still loaded.
    controller.Shutdown(std::chrono::seconds(10));
    library.Unload();
    shm_unlink(frameName.c_str());
    std::filesystem::remove_all(home);
}
BENCHMARK(BM_ClickToFirstRecordedPicture)
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime();

}  // namespace
