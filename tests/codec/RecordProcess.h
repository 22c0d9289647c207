#pragma once
// A child running the recorder tool (flashx-record), with its standard input and output piped:
// a process of its own, so a test can stop, stall or kill the recording.

#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>

class RecordProcess {
public:
    RecordProcess(const std::string& output, const std::string& audio, double seconds,
                  rlim_t fileLimit = RLIM_INFINITY) {
        int in[2], out[2];
        if (pipe(in) != 0 || pipe(out) != 0) {
            return;
        }
        pid_ = fork();
        if (pid_ == 0) {
            dup2(in[0], STDIN_FILENO);
            dup2(out[1], STDOUT_FILENO);
            close(in[1]);
            close(out[0]);
            const rlimit limit{fileLimit, fileLimit};
            setrlimit(RLIMIT_FSIZE, &limit);
            const std::string time = std::to_string(seconds);
            execl(ZAVREO_TEST_DIR "/flashx-record", "flashx-record", output.c_str(), audio.c_str(),
                  time.c_str(), nullptr);
            _exit(127);
        }
        close(in[0]);
        close(out[1]);
        input_ = in[1];
        output_ = fdopen(out[0], "r");
        // Unbuffered, so that what poll sees is all there is to read.
        setvbuf(output_, nullptr, _IONBF, 0);
    }
    ~RecordProcess() {
        if (input_ >= 0) {
            close(input_);
        }
        if (pid_ > 0 && !reaped_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        if (output_ != nullptr) {
            fclose(output_);
        }
    }
    // The next line the tool prints, without its line feed; empty at the end, or when none came
    // within `limit` (negative: no limit).
    std::string Line(std::chrono::milliseconds limit = std::chrono::milliseconds(-1)) {
        char line[256];
        if (output_ == nullptr) {
            return "";
        }
        pollfd ready{fileno(output_), POLLIN, 0};
        if (limit.count() >= 0 && poll(&ready, 1, static_cast<int>(limit.count())) <= 0) {
            return "";
        }
        if (std::fgets(line, sizeof line, output_) == nullptr) {
            return "";
        }
        std::string text(line);
        if (!text.empty() && text.back() == '\n') {
            text.pop_back();
        }
        return text;
    }
    void Kill() {
        Signal(SIGKILL);
        Wait();
    }
    void Signal(int signal) { kill(pid_, signal); }
    int Wait() {
        int status = 0;
        waitpid(pid_, &status, 0);
        reaped_ = true;
        return status;
    }

private:
    pid_t pid_ = -1;
    int input_ = -1;
    FILE* output_ = nullptr;
    bool reaped_ = false;
};
