#include "VcamProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "SharedFrame.h"

extern char** environ;

namespace zavreo {

std::string DefaultVcamProgram() {
    std::error_code error;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", error);
    return (self.parent_path() / "zavreo-vcam").string();
}

namespace {

// The child's descriptors: 3 its control socket, 4 the shared frame this program writes.
constexpr int kChildControlFd = 3;
constexpr int kChildFrameFd = 4;

// This environment, with the shared frame's variable naming the child's descriptor (or gone).
std::vector<std::string> ChildEnvironment(bool frameHandedDown) {
    const std::string prefix = std::string(kSharedFrameFdVariable) + "=";
    std::vector<std::string> entries;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        if (std::strncmp(*entry, prefix.c_str(), prefix.size()) != 0) {
            entries.emplace_back(*entry);
        }
    }
    if (frameHandedDown) {
        entries.push_back(prefix + std::to_string(kChildFrameFd));
    }
    return entries;
}

}  // namespace

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

// No SIGPIPE: a copy that just ended must not take this program with it.
void VcamProcess::Tell(char command) {
    if (ChildAlive()) {
        send(control_, &command, 1, MSG_NOSIGNAL | MSG_DONTWAIT);
    }
}

void VcamProcess::Withdraw() {
    Tell('w');
}

std::optional<int> VcamProcess::TakeExitStatus() {
    ChildAlive();
    return std::exchange(exitStatus_, std::nullopt);
}

bool VcamProcess::IsRunning() {
    return ChildAlive() || VcamLockHeld();
}

bool VcamProcess::Start() {
    if (ChildAlive()) {
        Tell('o');
        return true;
    }
    if (VcamLockHeld()) {
        return true;
    }
    // The child's end becomes its descriptor 3; ours is closed in every other child. The block
    // this program writes goes along as descriptor 4, so the child reads it and not whatever the
    // block's name points at.
    int ends[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) {
        return false;
    }
    // From a copy above both targets, so that placing one never overwrites the other.
    const int handed = HandedDownFrameDescriptor();
    const int frame = handed >= 0 ? fcntl(handed, F_DUPFD_CLOEXEC, kChildFrameFd + 1) : -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, ends[1], kChildControlFd);
    if (frame >= 0) {
        posix_spawn_file_actions_adddup2(&actions, frame, kChildFrameFd);
    }
    std::vector<std::string> environment = ChildEnvironment(frame >= 0);
    std::vector<char*> envp;
    for (std::string& entry : environment) {
        envp.push_back(entry.data());
    }
    envp.push_back(nullptr);
    char controlFlag[] = "--control-fd";
    std::string controlFd = std::to_string(kChildControlFd);
    char* argv[] = {program_.data(), controlFlag, controlFd.data(), nullptr};
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, program_.c_str(), &actions, nullptr, argv, envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(ends[1]);
    if (frame >= 0) {
        close(frame);
    }
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
