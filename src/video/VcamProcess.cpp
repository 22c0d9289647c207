#include "VcamProcess.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>
#include <utility>

extern char** environ;

namespace zavreo {

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
