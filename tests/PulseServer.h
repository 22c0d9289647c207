#pragma once
// A private PulseAudio daemon for one test process: a null sink whose monitor is the only audio
// source, reachable through PULSE_SERVER, which this process and its children inherit. Stopped
// (and its folder removed) on destruction; it also ends when the test process dies.

#include <signal.h>
#include <stdlib.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>

class PulseServer {
public:
    // What GStreamer's device monitor and the recorder see as the source's description.
    static constexpr const char* kMonitorDescription = "Monitor of ZavreoTestSink";
    // With `withInput`, also a null source: a real input (not a monitor), "ZavreoTestMic".
    static constexpr const char* kInputDescription = "ZavreoTestMic";

    // With `suspendWhenIdle`, a sink or source nobody uses is suspended after a second, as on a
    // desktop (module-suspend-on-idle).
    explicit PulseServer(bool withInput = false, bool suspendWhenIdle = false) {
        char pattern[] = "/tmp/zavreo-pulse-XXXXXX";
        if (mkdtemp(pattern) == nullptr) {
            return;
        }
        folder_ = pattern;
        const std::string socket = folder_ + "/native";
        pid_ = fork();
        if (pid_ == 0) {
            prctl(PR_SET_PDEATHSIG, SIGTERM);
            setenv("HOME", folder_.c_str(), 1);
            setenv("XDG_RUNTIME_DIR", folder_.c_str(), 1);
            setenv("PULSE_RUNTIME_PATH", folder_.c_str(), 1);
            const std::string sink =
                "--load=module-null-sink sink_name=zavreo_test "
                "sink_properties=device.description=ZavreoTestSink";
            const std::string native =
                "--load=module-native-protocol-unix auth-anonymous=1 socket=" + socket;
            const std::string input = withInput
                                          ? "--load=module-null-source source_name=zavreo_mic "
                                            "description=ZavreoTestMic"
                                          : "--log-meta=no";
            const std::string suspend =
                suspendWhenIdle ? "--load=module-suspend-on-idle timeout=1" : "--log-time=no";
            execlp("pulseaudio", "pulseaudio", "--daemonize=no", "--exit-idle-time=-1", "-n",
                   "--use-pid-file=no", "--disallow-exit", "--log-target=stderr",
                   "--log-level=error", sink.c_str(), input.c_str(), suspend.c_str(),
                   native.c_str(), nullptr);
            _exit(127);
        }
        for (int i = 0; i < 100 && pid_ > 0; ++i) {
            if (std::filesystem::exists(socket)) {
                setenv("PULSE_SERVER", ("unix:" + socket).c_str(), 1);
                running_ = true;
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }
    ~PulseServer() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
        if (!folder_.empty()) {
            std::error_code ignored;
            std::filesystem::remove_all(folder_, ignored);
        }
        unsetenv("PULSE_SERVER");
    }
    PulseServer(const PulseServer&) = delete;
    PulseServer& operator=(const PulseServer&) = delete;

    bool Running() const { return running_; }

    // Whether the null sink (and so its monitor) is suspended now, as pactl lists it.
    static bool SinkSuspended() {
        FILE* pipe = popen("pactl list short sinks 2>/dev/null", "r");
        if (pipe == nullptr) {
            return false;
        }
        bool suspended = false;
        char line[512];
        while (std::fgets(line, sizeof line, pipe) != nullptr) {
            const std::string text(line);
            suspended = suspended || (text.find("zavreo_test") != std::string::npos &&
                                      text.find("SUSPENDED") != std::string::npos);
        }
        pclose(pipe);
        return suspended;
    }

private:
    std::string folder_;
    pid_t pid_ = -1;
    bool running_ = false;
};
