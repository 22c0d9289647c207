// The virtual camera program serving its PipeWire node in a private session (D-Bus, PipeWire,
// WirePlumber): its processor share with one reader at 15 frames per second and with none, the
// loopback path's share for comparison, and the delay from a new shared frame to the reader.
//
// Each benchmark runs once for a fixed wall time; the figures are counters:
//   cpu_percent  processor time of the program (all threads) per wall time, in % of one core
//   fps          frames the reader received per second
//   delay_*_ms   from writing a new shared frame to the reader holding it

#include <benchmark/benchmark.h>
#include <dirent.h>
#include <linux/videodev2.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <random>
#include <thread>

#include "FramePump.h"
#include "PipeWireCamera.h"
#include "PipeWireReader.h"
#include "PipeWireSession.h"
#include "TestFrames.h"

namespace {

using Clock = std::chrono::steady_clock;

// Processor time of every thread of `pid`, in seconds, from the scheduler's own accounting.
double ProcessCpuSeconds(pid_t pid) {
    const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
    double seconds = 0;
    DIR* dir = opendir(tasks.c_str());
    while (dir != nullptr) {
        const dirent* entry = readdir(dir);
        if (entry == nullptr) {
            break;
        }
        std::ifstream stat(tasks + "/" + entry->d_name + "/schedstat");
        unsigned long long ns = 0;
        if (entry->d_name[0] != '.' && stat >> ns) {
            seconds += static_cast<double>(ns) / 1e9;
        }
    }
    if (dir != nullptr) {
        closedir(dir);
    }
    return seconds;
}

pid_t StartVcam(const std::string& sharedFrame) {
    const pid_t pid = fork();
    if (pid == 0) {
        setenv("ZAVREO_SHARED_FRAME", sharedFrame.c_str(), 1);
        freopen("/dev/null", "w", stdout);
        const std::string program = std::string(ZAVREO_BIN_DIR) + "/zavreo-vcam";
        execl(program.c_str(), program.c_str(), "--fps", "15", nullptr);
        _exit(127);
    }
    return pid;
}

void StopVcam(pid_t pid) {
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
}

bool NodeShown() {
    for (int i = 0; i < 200; ++i) {
        if (PipeWireSession::HasNode(zavreo::kPipeWireNodeName)) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    return false;
}

// The virtual camera program serving the shared frame `frameName` as a node of `session`; -1,
// with the benchmark skipped, when no node shows.
pid_t ServeNode(const PipeWireSession& session, const std::string& frameName,
                benchmark::State& state) {
    if (!session.Running()) {
        state.SkipWithError("no private PipeWire session");
        return -1;
    }
    const pid_t vcam = StartVcam(frameName);
    if (!NodeShown()) {
        StopVcam(vcam);
        state.SkipWithError("no node");
        return -1;
    }
    return vcam;
}

constexpr double kWindowSeconds = 10;

// arg 0: no reader; 1: one reader (BGRx); 2: one reader (YUY2).
void BM_VcamPipeWireCpu(benchmark::State& state) {
    PipeWireSession session;
    ScopedFrameName name;
    zavreo::SharedFrame frame(name.Name());
    frame.Write(PatternFrame(640, 480).data());
    const pid_t vcam = ServeNode(session, name.Name(), state);
    if (vcam < 0) {
        return;
    }
    std::unique_ptr<PipeWireReader> reader;
    if (state.range(0) > 0) {
        reader = std::make_unique<PipeWireReader>(zavreo::kPipeWireNodeName,
                                                  state.range(0) == 1 ? "BGRx" : "YUY2");
        reader->Pull(5);
    }
    for (auto _ : state) {
        const double cpuBefore = ProcessCpuSeconds(vcam);
        const auto start = Clock::now();
        int frames = 0;
        while (Clock::now() - start < std::chrono::duration<double>(kWindowSeconds)) {
            if (reader) {
                frames += reader->Pull(1).has_value();
            } else {
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
            }
        }
        const double wall = std::chrono::duration<double>(Clock::now() - start).count();
        state.SetIterationTime(wall);
        state.counters["cpu_percent"] = 100 * (ProcessCpuSeconds(vcam) - cpuBefore) / wall;
        state.counters["fps"] = frames / wall;
    }
    reader.reset();
    StopVcam(vcam);
}

// The loopback path's own work at 15 frames per second: read the shared frame, convert it to
// YUYV and write it (here to /dev/null; the loopback module's copy is kernel time not counted).
void BM_LoopbackPathCpu(benchmark::State& state) {
    ScopedFrameName name;
    zavreo::SharedFrame frame(name.Name());
    frame.Write(PatternFrame(640, 480).data());
    std::ofstream null("/dev/null", std::ios::binary);
    zavreo::FramePump pump(name.Name(), V4L2_PIX_FMT_YUYV, [&](const uint8_t* data, size_t n) {
        null.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(n));
        return true;
    });
    for (auto _ : state) {
        timespec cpuBefore{}, cpuAfter{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &cpuBefore);
        const auto start = Clock::now();
        auto next = start;
        while (Clock::now() - start < std::chrono::duration<double>(kWindowSeconds)) {
            pump.Tick();
            next += std::chrono::nanoseconds(1000000000 / 15);
            std::this_thread::sleep_until(next);
        }
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &cpuAfter);
        const double wall = std::chrono::duration<double>(Clock::now() - start).count();
        const double cpu =
            (cpuAfter.tv_sec - cpuBefore.tv_sec) + (cpuAfter.tv_nsec - cpuBefore.tv_nsec) / 1e9;
        state.SetIterationTime(wall);
        state.counters["cpu_percent"] = 100 * cpu / wall;
    }
}

// New pictures at random moments; the time until the reader holds each.
void BM_VcamPipeWireDelay(benchmark::State& state) {
    PipeWireSession session;
    ScopedFrameName name;
    zavreo::SharedFrame frame(name.Name());
    std::vector<uint8_t> picture(zavreo::kFrameBytes, 0);
    frame.Write(picture.data());
    const pid_t vcam = ServeNode(session, name.Name(), state);
    if (vcam < 0) {
        return;
    }
    PipeWireReader reader(zavreo::kPipeWireNodeName, "BGRx");
    reader.Pull(5);
    std::mt19937 random(7);
    std::uniform_int_distribution<int> pause(100, 250);
    std::vector<double> delays;
    for (auto _ : state) {
        for (int shade = 1; shade <= 60; ++shade) {
            std::this_thread::sleep_for(std::chrono::milliseconds(pause(random)));
            // Drop what arrived meanwhile, so the next frame seen is a fresh one.
            while (reader.Pull(0)) {
            }
            std::fill(picture.begin(), picture.end(), static_cast<uint8_t>(shade * 4));
            const auto written = Clock::now();
            frame.Write(picture.data());
            while (auto got = reader.Pull(1)) {
                if (got->bytes.size() > 0 && got->bytes[0] == shade * 4) {
                    delays.push_back(
                        std::chrono::duration<double, std::milli>(got->arrived - written).count());
                    break;
                }
            }
        }
    }
    StopVcam(vcam);
    if (delays.empty()) {
        state.SkipWithError("no frame arrived");
        return;
    }
    std::sort(delays.begin(), delays.end());
    double sum = 0;
    for (double d : delays) {
        sum += d;
    }
    state.counters["delay_mean_ms"] = sum / delays.size();
    state.counters["delay_p50_ms"] = delays[delays.size() / 2];
    state.counters["delay_p95_ms"] = delays[delays.size() * 95 / 100];
    state.counters["delay_max_ms"] = delays.back();
    state.counters["samples"] = static_cast<double>(delays.size());
}

}  // namespace

BENCHMARK(BM_VcamPipeWireCpu)
    ->ArgName("readers_bgrx1_yuy2_2")
    ->Arg(0)
    ->Arg(1)
    ->Arg(2)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);
BENCHMARK(BM_LoopbackPathCpu)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);
BENCHMARK(BM_VcamPipeWireDelay)->Iterations(1)->Unit(benchmark::kSecond);
