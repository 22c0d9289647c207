#include "VcamProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>
#include <utility>

extern char** environ;

namespace zavreo {

std::string VcamLockPath() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && *runtime != '\0') {
        return std::string(runtime) + "/zavreo-vcam.lock";
    }
    // Not the shared /tmp, where another user could plant the lock (and hold it, so that the
    // virtual camera never starts) or a link in its place: a private folder in the home.
    const char* home = std::getenv("HOME");
    const std::string cache = std::string(home != nullptr ? home : "") + "/.cache";
    mkdir(cache.c_str(), 0700);
    mkdir((cache + "/ZavreoZhuShou").c_str(), 0700);
    return cache + "/ZavreoZhuShou/zavreo-vcam.lock";
}

int OpenVcamLock(int flags) {
    return open(VcamLockPath().c_str(), flags | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600);
}

bool VcamLockHeld() {
    const int fd = OpenVcamLock(O_RDONLY);
    if (fd < 0) {
        return false;
    }
    const bool held = flock(fd, LOCK_SH | LOCK_NB) != 0;
    close(fd);
    return held;
}

std::string DefaultVcamProgram() {
    std::error_code error;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", error);
    return (self.parent_path() / "zavreo-vcam").string();
}

VcamProcess::VcamProcess(std::string program) : program_(std::move(program)) {}

VcamProcess::~VcamProcess() {
    Stop();
}

bool VcamProcess::ChildAlive() {
    if (child_ <= 0) {
        return false;
    }
    int status = 0;
    if (waitpid(child_, &status, WNOHANG) == 0) {
        return true;
    }
    exitStatus_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    child_ = -1;
    return false;
}

std::optional<int> VcamProcess::TakeExitStatus() {
    ChildAlive();
    return std::exchange(exitStatus_, std::nullopt);
}

bool VcamProcess::IsRunning() {
    return ChildAlive() || VcamLockHeld();
}

bool VcamProcess::Start() {
    if (IsRunning()) {
        return true;
    }
    char* argv[] = {program_.data(), nullptr};
    pid_t pid = -1;
    if (posix_spawn(&pid, program_.c_str(), nullptr, nullptr, argv, environ) != 0) {
        return false;
    }
    child_ = pid;
    exitStatus_.reset();
    return true;
}

void VcamProcess::Stop() {
    if (!ChildAlive()) {
        return;
    }
    kill(child_, SIGTERM);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (std::chrono::steady_clock::now() < deadline) {
        if (waitpid(child_, nullptr, WNOHANG) != 0) {
            child_ = -1;
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    kill(child_, SIGKILL);
    waitpid(child_, nullptr, 0);
    child_ = -1;
}

}  // namespace zavreo
