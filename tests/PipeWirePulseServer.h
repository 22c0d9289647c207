#pragma once
// PipeWire's PulseAudio server in a private session (PipeWireSession): pipewire-pulse on the
// session's runtime folder, with a null sink "zavreo_test" (description "ZavreoTestSink") as the
// default output, as PulseServer offers on a plain PulseAudio daemon. PULSE_SERVER is unset, so
// this process and its children find the server through XDG_RUNTIME_DIR as a desktop's do.

#include <signal.h>
#include <stdlib.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "PipeWireSession.h"

class PipeWirePulseServer {
public:
    PipeWirePulseServer() {
        if (!session_.Running()) {
            std::fputs("no PipeWire session\n", stderr);
            return;
        }
        unsetenv("PULSE_SERVER");
        pid_ = fork();
        if (pid_ == 0) {
            prctl(PR_SET_PDEATHSIG, SIGKILL);
            freopen("/dev/null", "w", stdout);
            freopen("/dev/null", "w", stderr);
            execlp("pipewire-pulse", "pipewire-pulse", nullptr);
            _exit(127);
        }
        const std::string socket = session_.Folder() + "/pulse/native";
        for (int i = 0; i < 200 && !std::filesystem::exists(socket); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(25));
        }
        running_ = std::filesystem::exists(socket) &&
                   std::system(
                       "pactl load-module module-null-sink sink_name=zavreo_test "
                       "sink_properties=device.description=ZavreoTestSink "
                       ">/dev/null 2>&1 && pactl set-default-sink zavreo_test") == 0;
    }
    ~PipeWirePulseServer() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
    }
    PipeWirePulseServer(const PipeWirePulseServer&) = delete;
    PipeWirePulseServer& operator=(const PipeWirePulseServer&) = delete;

    bool Running() const { return running_; }

private:
    PipeWireSession session_;
    pid_t pid_ = -1;
    bool running_ = false;
};
