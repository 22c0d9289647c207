#pragma once
// Lyrics servers for tests, on 127.0.0.1 with a free port: tools/lyricsd serving a folder of LRC
// files the test writes, and a server that takes connections and never answers.
// ZAVREO_LYRICS_HOST points at the server while it runs.

#include "LoopbackListener.h"

#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

extern char** environ;

class Lyricsd {
public:
    Lyricsd() {
        char pattern[] = "/tmp/zavreo-lyricsd-XXXXXX";
        folder_ = mkdtemp(pattern);
        std::filesystem::create_directories(Songs());
        const std::string root = Songs().string();
        const std::string portFile = (folder_ / "port").string();
        const char* argv[] = {"python3",     LYRICSD_SCRIPT,   "--root", root.c_str(),
                              "--port-file", portFile.c_str(), nullptr};
        posix_spawnp(&pid_, "python3", nullptr, nullptr, const_cast<char**>(argv), environ);
        for (int i = 0; i < 200 && port_.empty(); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(25));
            std::ifstream in(portFile);
            std::getline(in, port_);
        }
        setenv("ZAVREO_LYRICS_HOST", Host().c_str(), 1);
    }
    ~Lyricsd() {
        unsetenv("ZAVREO_LYRICS_HOST");
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
        std::filesystem::remove_all(folder_);
    }

    std::filesystem::path Songs() const { return folder_ / "songs"; }
    void AddSong(const std::string& fileName, const std::string& lrc) const {
        std::ofstream(Songs() / fileName, std::ios::binary) << lrc;
    }
    std::string Host() const { return "127.0.0.1:" + port_; }
    bool Running() const { return !port_.empty(); }

private:
    std::filesystem::path folder_;
    pid_t pid_ = -1;
    std::string port_;
};

class SilentServer {
public:
    SilentServer() {
        // The kernel completes the connections; nobody accepts or answers them.
        int port = 0;
        listener_ = ListenOnLoopback(4, &port);
        host_ = "127.0.0.1:" + std::to_string(port);
        setenv("ZAVREO_LYRICS_HOST", host_.c_str(), 1);
    }
    ~SilentServer() {
        unsetenv("ZAVREO_LYRICS_HOST");
        close(listener_);
    }
    const std::string& Host() const { return host_; }

private:
    int listener_ = -1;
    std::string host_;
};
