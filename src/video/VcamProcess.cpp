#include "VcamProcess.h"

#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
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
    Forget();
    return false;
}

void VcamProcess::Forget() {
    child_ = -1;
    close(control_);
    control_ = -1;
}

std::optional<int> VcamProcess::TakeExitStatus() {
    ChildAlive();
    return std::exchange(exitStatus_, std::nullopt);
}

bool VcamProcess::IsRunning() {
    return ChildAlive() || VcamLockHeld();
}

bool VcamProcess::Start() {
    if (ChildAlive() || VcamLockHeld()) {
        return true;
    }
    // The child's end becomes its descriptor 3; ours is closed in every other child.
    int ends[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) {
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, ends[1], 3);
    char controlFlag[] = "--control-fd";
    char controlFd[] = "3";
    char* argv[] = {program_.data(), controlFlag, controlFd, nullptr};
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, program_.c_str(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    close(ends[1]);
    if (spawned != 0) {
        close(ends[0]);
        return false;
    }
    child_ = pid;
    control_ = ends[0];
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
            Forget();
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    kill(child_, SIGKILL);
    waitpid(child_, nullptr, 0);
    Forget();
}

}  // namespace zavreo
