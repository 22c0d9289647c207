// The program under its heaviest load against the camera alone: bin/zavreo started under a
// private Xvfb with the stand-in camera at 15 frames a second, once with no effect and once with
// everything on (scrolling subtitle, the three beauty switches, the five colour presets, the five
// decorations). Each iteration runs both, one after the other, so the pair sees the same machine
// load; it reports the processor share of each (all threads, user and system, over the measuring
// window), the difference, resident memory at the end of the window and the frames per second
// the shared frame received.
// Needs Xvfb and xdotool. HEAVY_LOAD_SECONDS sets the measuring window (default 20);
// HEAVY_LOAD_BIN_DIR runs the program of another build (a copy kept from before a change).

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr char kCameraAlone[] =
    R"({"Deco":[{"1":0,"2":0,"3":0,"4":0,"5":0}],"Filter":[{"1":0,"2":0,"3":0,"4":0,"5":0}],)"
    R"("Text":[{"bkcolor":8421504,"bkdegree":1,"color":16777215,"direction":2,"font":1,)"
    R"("isChose":0,"pos":2,"size":2,"text":"heavy load 字幕"}],"White":[{"MeiBai":100,"MoPi":100,)"
    R"("ShouShen":100,"isMeiBai":0,"isMoPi":0,"isShouShen":0}]})";
constexpr char kEverythingOn[] =
    R"({"Deco":[{"1":1,"2":1,"3":1,"4":1,"5":1}],"Filter":[{"1":1,"2":1,"3":1,"4":1,"5":1}],)"
    R"("Text":[{"bkcolor":8421504,"bkdegree":1,"color":16777215,"direction":2,"font":1,)"
    R"("isChose":1,"pos":2,"size":2,"text":"heavy load 字幕"}],"White":[{"MeiBai":100,"MoPi":100,)"
    R"("ShouShen":100,"isMeiBai":1,"isMoPi":1,"isShouShen":1}]})";

[[noreturn]] void Die(const std::string& why) {
    std::fprintf(stderr, "heavy load bench: %s\n", why.c_str());
    std::exit(1);
}

pid_t Spawn(const std::vector<std::string>& argv, const std::vector<std::string>& env,
            int keepFd = -1) {
    std::vector<char*> args;
    for (const auto& a : argv) {
        args.push_back(const_cast<char*>(a.c_str()));
    }
    args.push_back(nullptr);
    std::vector<char*> envp;
    for (const auto& e : env) {
        envp.push_back(const_cast<char*>(e.c_str()));
    }
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const int devNull = open("/dev/null", O_WRONLY | O_CLOEXEC);
    posix_spawn_file_actions_adddup2(&actions, devNull, 1);
    posix_spawn_file_actions_adddup2(&actions, devNull, 2);
    if (keepFd >= 0) {
        posix_spawn_file_actions_adddup2(&actions, keepFd, 3);
    }
    pid_t pid = -1;
    if (posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), envp.data()) != 0) {
        Die("cannot start " + argv[0]);
    }
    posix_spawn_file_actions_destroy(&actions);
    close(devNull);
    return pid;
}

void Stop(pid_t pid) {
    kill(pid, SIGTERM);
    for (int i = 0; i < 100; ++i) {
        if (waitpid(pid, nullptr, WNOHANG) == pid) {
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
}

std::string Output(const std::string& command) {
    std::string out;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[256];
        while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) {
            out += buffer;
        }
        pclose(pipe);
    }
    return out;
}

// A private X server for the whole run; it picks a free display itself.
class Xvfb {
public:
    Xvfb() {
        int fds[2];
        if (pipe(fds) != 0) {
            Die("no pipe");
        }
        pid_ = Spawn({"Xvfb", "-displayfd", "3", "-screen", "0", "1280x800x24", "-nolisten", "tcp"},
                     {"PATH=" + std::string(std::getenv("PATH"))}, fds[1]);
        close(fds[1]);
        // The number comes in more than one write: reading stops at its line feed, since closing
        // the pipe before the last write would end the server by SIGPIPE.
        std::string number;
        char c = 0;
        while (read(fds[0], &c, 1) == 1 && c != '\n') {
            number += c;
        }
        close(fds[0]);
        if (number.empty()) {
            Die("Xvfb did not start");
        }
        display_ = ":" + number;
    }
    ~Xvfb() { Stop(pid_); }
    const std::string& Display() const { return display_; }

private:
    pid_t pid_ = -1;
    std::string display_;
};

// Counts the changes of one row of the shared frame (the stand-in's bars scroll every frame).
class FrameCounter {
public:
    explicit FrameCounter(std::string path) : path_(std::move(path)), thread_([this] { Run(); }) {}
    ~FrameCounter() {
        stop_ = true;
        thread_.join();
    }
    uint64_t Frames() const { return frames_; }

private:
    void Run() {
        const int fd = open(path_.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            return;
        }
        std::vector<char> last(1920), row(1920);
        while (!stop_) {
            if (pread(fd, row.data(), row.size(), 240 * 1920) == 1920 && row != last) {
                last.swap(row);
                ++frames_;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        close(fd);
    }

    std::string path_;
    std::atomic<bool> stop_{false};
    std::atomic<uint64_t> frames_{0};
    std::thread thread_;
};

double CpuSeconds(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    long ticks = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i) {
        if (i == 14 || i == 15) {
            ticks += std::stol(field);
        }
    }
    return static_cast<double>(ticks) / sysconf(_SC_CLK_TCK);
}

double ResidentMb(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmRSS:", 0) == 0) {
            return std::stod(line.substr(6)) / 1024.0;
        }
    }
    return 0.0;
}

struct Figures {
    double cpuPercent = 0, residentMb = 0, fps = 0;
};

// One start of the program with `config` as its saved settings: the camera opened, a settling
// time, then `seconds` measured.
Figures RunProgram(const Xvfb& x, const char* config, double seconds) {
    const fs::path home = fs::temp_directory_path() / ("zavreo-heavy-" + std::to_string(getpid()));
    fs::remove_all(home);
    const fs::path configDir = home / ".config/ZavreoZhuShou/Config";
    fs::create_directories(configDir);
    fs::create_directories(home / "run");
    chmod((home / "run").c_str(), 0700);
    std::ofstream(configDir / "config.lst") << config << "\n";
    const std::string frameName = "/zavreo-heavy-" + std::to_string(getpid());
    const std::vector<std::string> env = {
        "PATH=" + std::string(std::getenv("PATH")),
        "DISPLAY=" + x.Display(),
        "HOME=" + home.string(),
        "XDG_RUNTIME_DIR=" + (home / "run").string(),
        "ZAVREO_SHARED_FRAME=" + frameName,
        "ZAVREO_TEST_CAMERA=1",
        "ZAVREO_AUDIO_SINK=fakesink sync=true",
        "ZAVREO_UPDATE_HOST=127.0.0.1:9",
        "LANG=C.UTF-8",
    };
    const char* binDir = std::getenv("HEAVY_LOAD_BIN_DIR");
    const pid_t program =
        Spawn({std::string(binDir != nullptr ? binDir : ZAVREO_BIN_DIR) + "/zavreo"}, env);
    const std::string xdotool = "DISPLAY=" + x.Display() + " xdotool ";
    bool shown = false;
    for (int i = 0; i < 300 && !shown; ++i) {
        shown = !Output(xdotool + "search --onlyvisible --name '^Zavreo$' 2>/dev/null").empty();
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    if (!shown) {
        Stop(program);
        Die("no window titled Zavreo");
    }
    std::this_thread::sleep_for(std::chrono::seconds(1));
    Output(xdotool + "mousemove --sync 65 585 click 1");
    const std::string framePath = "/dev/shm" + frameName;
    for (int i = 0; i < 100 && !fs::exists(framePath); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    std::this_thread::sleep_for(std::chrono::seconds(5));
    Figures figures;
    {
        FrameCounter counter(framePath);
        const double cpuStart = CpuSeconds(program);
        const auto start = Clock::now();
        std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
        const double wall = std::chrono::duration<double>(Clock::now() - start).count();
        figures.cpuPercent = 100.0 * (CpuSeconds(program) - cpuStart) / wall;
        figures.residentMb = ResidentMb(program);
        figures.fps = counter.Frames() / wall;
    }
    Stop(program);
    fs::remove_all(home);
    return figures;
}

void BM_EverythingOnOverCameraAlone(benchmark::State& state) {
    const char* fromEnv = std::getenv("HEAVY_LOAD_SECONDS");
    const double seconds = fromEnv != nullptr ? std::max(1.0, std::atof(fromEnv)) : 20.0;
    static const Xvfb x;
    for (auto _ : state) {
        const Figures alone = RunProgram(x, kCameraAlone, seconds);
        const Figures on = RunProgram(x, kEverythingOn, seconds);
        state.SetIterationTime(seconds * 2);
        state.counters["alone_cpu_%"] = alone.cpuPercent;
        state.counters["on_cpu_%"] = on.cpuPercent;
        state.counters["added_cpu_%"] = on.cpuPercent - alone.cpuPercent;
        state.counters["alone_rss_MB"] = alone.residentMb;
        state.counters["on_rss_MB"] = on.residentMb;
        state.counters["alone_fps"] = alone.fps;
        state.counters["on_fps"] = on.fps;
    }
}
BENCHMARK(BM_EverythingOnOverCameraAlone)
    ->Iterations(1)
    ->Repetitions(5)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);

}  // namespace
