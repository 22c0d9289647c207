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
#include <filesystem>
#include <string>
#include <thread>

class PulseServer {
public:
    // What GStreamer's device monitor and the recorder see as the source's description.
    static constexpr const char* kMonitorDescription = "Monitor of ZavreoTestSink";
    // With `withInput`, also a null source: a real input (not a monitor), "ZavreoTestMic".
    static constexpr const char* kInputDescription = "ZavreoTestMic";

    explicit PulseServer(bool withInput = false) {
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
            execlp("pulseaudio", "pulseaudio", "--daemonize=no", "--exit-idle-time=-1", "-n",
                   "--use-pid-file=no", "--disallow-exit", "--log-target=stderr",
                   "--log-level=error", sink.c_str(), input.c_str(), native.c_str(), nullptr);
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

private:
    std::string folder_;
    pid_t pid_ = -1;
    bool running_ = false;
};
