#pragma once
// Shared-frame names and frames for the video tests.

#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "SharedFrame.h"

// A shared memory object of the test's own, removed when the test ends with its large frame.
class ScopedFrameName {
public:
    ScopedFrameName() {
        static std::atomic<int> counter{0};
        name_ = "/zavreo-test-" + std::to_string(getpid()) + "-" + std::to_string(counter++);
    }
    ~ScopedFrameName() {
        shm_unlink(name_.c_str());
        shm_unlink(zavreo::LargeFrameName(name_).c_str());
    }
    const std::string& Name() const { return name_; }

private:
    std::string name_;
};

// Removes a block name when the test ends.
class ScopedUnlink {
public:
    explicit ScopedUnlink(std::string name) : name_(std::move(name)) {}
    ~ScopedUnlink() { shm_unlink(name_.c_str()); }

private:
    std::string name_;
};

// Sets or clears an environment variable for the life of the object.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = getenv(name)) {
            old_ = old;
            had_ = true;
        }
        value ? setenv(name, value, 1) : unsetenv(name);
    }
    ~ScopedEnv() { had_ ? setenv(name_, old_.c_str(), 1) : unsetenv(name_); }

private:
    const char* name_;
    std::string old_;
    bool had_ = false;
};

// Polls `done` every 10 ms for up to `seconds`; its last answer.
template <typename Done>
bool WaitFor(Done done, double seconds = 5.0) {
    const auto deadline = std::chrono::steady_clock::now() +
                          std::chrono::milliseconds(static_cast<int>(seconds * 1000));
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return done();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

// A frame of `width` x `height`, stored bottom-up, every pixel encoding its position as seen.
inline std::vector<uint8_t> PatternFrame(int width, int height) {
    std::vector<uint8_t> frame(static_cast<size_t>(width) * height * 3);
    for (int y = 0; y < height; ++y) {
        uint8_t* row = frame.data() + static_cast<size_t>(height - 1 - y) * width * 3;
        for (int x = 0; x < width; ++x) {
            row[x * 3 + 0] = static_cast<uint8_t>(x * 255 / (width - 1));
            row[x * 3 + 1] = static_cast<uint8_t>(y * 255 / (height - 1));
            row[x * 3 + 2] = static_cast<uint8_t>((x + y) & 0xFF);
        }
    }
    return frame;
}
