// The program under its heaviest load against the camera alone: bin/zavreo started under a
// private Xvfb with the stand-in camera at 15 frames a second, once with no effect and once with
// everything on (scrolling subtitle, the three beauty switches, the five colour presets, the five
// decorations). Each iteration runs both, one after the other, so the pair sees the same machine
// load; it reports the processor share of each (all threads, user and system, over the measuring
// window), the difference, resident memory at the end of the window and the frames per second
// the shared frame received.
// Needs Xvfb and xdotool. HEAVY_LOAD_SECONDS sets the measuring window (default 20);
// HEAVY_LOAD_BIN_DIR runs the program of another build (a copy kept from before a change).
//
// BM_CameraSize runs the same everything-on program against the high-definition stand-in (Motion
// JPEG at 30 frames a second at 1280 x 720, else YUY2 at 15), with 输出大小 at 640 x 480 or
// 1280 x 720, in a private PipeWire session where one reader takes the virtual camera's node at
// the size it offers. It reports the processor share of the program and of the virtual camera
// program (all threads), their sum, resident memory of each, the frames per second and width the
// reader received, and
// the stand-in's own encoding (its thread "standin:src"), which a real camera does in its own
// hardware and which is left out of the program's share.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <gst/app/gstappsink.h>
#include <gst/gst.h>
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
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "PipeWireSession.h"
#include "VirtualCamera.h"

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

// Processor seconds of the process `pid`, or of what `statFile` names (one of its threads).
double CpuSeconds(pid_t pid, const fs::path& statFile = {}) {
    std::ifstream stat(statFile.empty() ? fs::path("/proc/" + std::to_string(pid) + "/stat")
                                        : statFile);
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

// Processor seconds of `pid`'s thread named `comm`, 0 without one.
double ThreadCpuSeconds(pid_t pid, const std::string& comm) {
    const fs::path tasks = "/proc/" + std::to_string(pid) + "/task";
    std::error_code error;
    for (const auto& task : fs::directory_iterator(tasks, error)) {
        std::string name;
        std::getline(std::ifstream(task.path() / "comm"), name);
        if (name == comm) {
            return CpuSeconds(pid, task.path() / "stat");
        }
    }
    return 0;
}

// The child of `parent` running `comm`, or -1.
pid_t ChildNamed(pid_t parent, const std::string& comm) {
    std::error_code error;
    for (const auto& entry : fs::directory_iterator("/proc", error)) {
        const std::string pid = entry.path().filename().string();
        if (pid.find_first_not_of("0123456789") != std::string::npos) {
            continue;
        }
        std::ifstream stat(entry.path() / "stat");
        std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
        const size_t open = text.find('('), close = text.rfind(')');
        if (open == std::string::npos || close == std::string::npos) {
            continue;
        }
        std::istringstream rest(text.substr(close + 2));
        std::string state;
        pid_t ppid = 0;
        rest >> state >> ppid;
        if (ppid == parent && text.substr(open + 1, close - open - 1) == comm) {
            return std::stoi(pid);
        }
    }
    return -1;
}

// A PipeWire client taking the virtual camera's node in YUY2 (as cameras deliver) at the size the
// node offers first, counting the frames it receives and noting their width.
class NodeReader {
public:
    NodeReader() {
        gst_init(nullptr, nullptr);
        const std::string description =
            "pipewiresrc target-object=" + std::string(zavreo::kPipeWireNodeName) +
            " ! video/x-raw,format=YUY2 ! appsink name=sink sync=false";
        pipeline_ = gst_parse_launch(description.c_str(), nullptr);
        if (pipeline_ == nullptr) {
            Die("no PipeWire reader");
        }
        GstElement* sink = gst_bin_get_by_name(GST_BIN(pipeline_), "sink");
        GstAppSinkCallbacks callbacks{};
        callbacks.new_sample = [](GstAppSink* appsink, gpointer self) {
            GstSample* sample = gst_app_sink_pull_sample(appsink);
            auto* reader = static_cast<NodeReader*>(self);
            int width = 0;
            if (sample != nullptr &&
                gst_structure_get_int(gst_caps_get_structure(gst_sample_get_caps(sample), 0),
                                      "width", &width)) {
                reader->width_ = width;
            }
            gst_sample_unref(sample);
            ++reader->frames_;
            return GST_FLOW_OK;
        };
        gst_app_sink_set_callbacks(GST_APP_SINK(sink), &callbacks, this, nullptr);
        gst_object_unref(sink);
        gst_element_set_state(pipeline_, GST_STATE_PLAYING);
    }
    ~NodeReader() {
        gst_element_set_state(pipeline_, GST_STATE_NULL);
        gst_object_unref(pipeline_);
    }
    uint64_t Frames() const { return frames_; }
    int Width() const { return width_; }

private:
    GstElement* pipeline_ = nullptr;
    std::atomic<uint64_t> frames_{0};
    std::atomic<int> width_{0};
};

// How one start of the program is set up.
struct Setup {
    const char* config = kEverythingOn;
    const char* camera = "ZAVREO_TEST_CAMERA=1";
    const char* sizeKeys = nullptr;  // keys in the opened size list that choose 输出大小
    const PipeWireSession* session = nullptr;  // the program's session, else a private runtime
    bool reader = false;                       // one PipeWire reader of the node
};

struct Figures {
    double cpuPercent = 0, residentMb = 0, fps = 0;
    double vcamCpuPercent = 0, vcamResidentMb = 0, standInCpuPercent = 0, readerFps = 0;
    int readerWidth = 0;
};

// One start of the program as `setup` says: the camera opened (and its size chosen), a settling
// time, then `seconds` measured.
Figures RunProgram(const Xvfb& x, const Setup& setup, double seconds) {
    const fs::path home = fs::temp_directory_path() / ("zavreo-heavy-" + std::to_string(getpid()));
    fs::remove_all(home);
    const fs::path configDir = home / ".config/ZavreoZhuShou/Config";
    fs::create_directories(configDir);
    fs::create_directories(home / "run");
    chmod((home / "run").c_str(), 0700);
    std::ofstream(configDir / "config.lst") << setup.config << "\n";
    const std::string frameName = "/zavreo-heavy-" + std::to_string(getpid());
    std::vector<std::string> env = {
        "PATH=" + std::string(std::getenv("PATH")),
        "DISPLAY=" + x.Display(),
        "HOME=" + home.string(),
        "XDG_RUNTIME_DIR=" + (setup.session ? setup.session->Folder() : (home / "run").string()),
        "ZAVREO_SHARED_FRAME=" + frameName,
        setup.camera,
        "ZAVREO_AUDIO_SINK=fakesink sync=true",
        "ZAVREO_UPDATE_HOST=127.0.0.1:9",
        "LANG=C.UTF-8",
    };
    if (setup.session != nullptr) {
        env.push_back("DBUS_SESSION_BUS_ADDRESS=unix:path=" + setup.session->Folder() + "/bus");
    }
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
    if (setup.sizeKeys != nullptr) {
        std::this_thread::sleep_for(std::chrono::seconds(2));
        Output(xdotool + "mousemove --sync 667 218 click 1");
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        Output(xdotool + "key " + setup.sizeKeys + " Return");
    }
    std::unique_ptr<NodeReader> reader;
    if (setup.reader) {
        reader = std::make_unique<NodeReader>();
    }
    std::this_thread::sleep_for(std::chrono::seconds(5));
    Figures figures;
    {
        FrameCounter counter(framePath);
        const pid_t vcam = ChildNamed(program, "zavreo-vcam");
        const double cpuStart = CpuSeconds(program);
        const double standInStart = ThreadCpuSeconds(program, "standin:src");
        const double vcamStart = vcam > 0 ? CpuSeconds(vcam) : 0;
        const uint64_t readerStart = reader ? reader->Frames() : 0;
        const auto start = Clock::now();
        std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
        const double wall = std::chrono::duration<double>(Clock::now() - start).count();
        figures.standInCpuPercent =
            100.0 * (ThreadCpuSeconds(program, "standin:src") - standInStart) / wall;
        figures.cpuPercent =
            100.0 * (CpuSeconds(program) - cpuStart) / wall - figures.standInCpuPercent;
        figures.residentMb = ResidentMb(program);
        figures.fps = counter.Frames() / wall;
        if (vcam > 0) {
            figures.vcamCpuPercent = 100.0 * (CpuSeconds(vcam) - vcamStart) / wall;
            figures.vcamResidentMb = ResidentMb(vcam);
        }
        if (reader) {
            figures.readerFps = (reader->Frames() - readerStart) / wall;
            figures.readerWidth = reader->Width();
        }
    }
    reader.reset();
    Stop(program);
    fs::remove_all(home);
    return figures;
}

void BM_EverythingOnOverCameraAlone(benchmark::State& state) {
    const char* fromEnv = std::getenv("HEAVY_LOAD_SECONDS");
    const double seconds = fromEnv != nullptr ? std::max(1.0, std::atof(fromEnv)) : 20.0;
    static const Xvfb x;
    for (auto _ : state) {
        Setup alone;
        alone.config = kCameraAlone;
        const Figures aloneFigures = RunProgram(x, alone, seconds);
        const Figures on = RunProgram(x, Setup(), seconds);
        state.SetIterationTime(seconds * 2);
        state.counters["alone_cpu_%"] = aloneFigures.cpuPercent;
        state.counters["on_cpu_%"] = on.cpuPercent;
        state.counters["added_cpu_%"] = on.cpuPercent - aloneFigures.cpuPercent;
        state.counters["alone_rss_MB"] = aloneFigures.residentMb;
        state.counters["on_rss_MB"] = on.residentMb;
        state.counters["alone_fps"] = aloneFigures.fps;
        state.counters["on_fps"] = on.fps;
    }
}
BENCHMARK(BM_EverythingOnOverCameraAlone)
    ->Iterations(1)
    ->Repetitions(5)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);

// arg: the width of 输出大小, 640 or 1280.
void BM_CameraSize(benchmark::State& state) {
    const char* fromEnv = std::getenv("HEAVY_LOAD_SECONDS");
    const double seconds = fromEnv != nullptr ? std::max(1.0, std::atof(fromEnv)) : 20.0;
    const bool large = state.range(0) == 1280;
    static const Xvfb x;
    PipeWireSession session;
    if (!session.Running()) {
        state.SkipWithError("no private PipeWire session");
        return;
    }
    Setup setup;
    setup.camera = "ZAVREO_TEST_CAMERA_MJPG=1";
    // The stand-in's list: 640 x 480, 320 x 240, 1280 x 720, 1920 x 1080.
    setup.sizeKeys = large ? "Down Down" : nullptr;
    setup.session = &session;
    setup.reader = true;
    for (auto _ : state) {
        const Figures figures = RunProgram(x, setup, seconds);
        state.SetIterationTime(seconds);
        state.counters["program_cpu_%"] = figures.cpuPercent;
        state.counters["vcam_cpu_%"] = figures.vcamCpuPercent;
        state.counters["total_cpu_%"] = figures.cpuPercent + figures.vcamCpuPercent;
        state.counters["program_rss_MB"] = figures.residentMb;
        state.counters["vcam_rss_MB"] = figures.vcamResidentMb;
        state.counters["reader_fps"] = figures.readerFps;
        state.counters["reader_width"] = figures.readerWidth;
        state.counters["shared_fps"] = figures.fps;
        state.counters["standin_cpu_%"] = figures.standInCpuPercent;
    }
}
BENCHMARK(BM_CameraSize)
    ->Arg(640)
    ->Arg(1280)
    ->Iterations(1)
    ->Repetitions(3)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);

}  // namespace
