#pragma once
// Starts and stops the virtual camera program. A running copy holds the lock file named by
// VcamLockPath(), so a copy started by someone else counts as running and is left alone.
// Our copy holds the other end of a control socket and ends with this program.
//
// Threads: interface thread only.

#include <sys/types.h>

#include <optional>
#include <string>

#include "VirtualCamera.h"

namespace zavreo {

class VcamProcess {
public:
    explicit VcamProcess(std::string program);
    ~VcamProcess();
    VcamProcess(const VcamProcess&) = delete;
    VcamProcess& operator=(const VcamProcess&) = delete;

    // Starts the program unless a copy runs already; false when it could not be started.
    bool Start();
    // True while our copy runs or another holds the lock.
    bool IsRunning();
    // Stops the copy we started (not another's), waiting for it to end.
    void Stop();
    // Reaps our copy if it has ended, so no zombie stays behind; its exit status (-1 when killed
    // by a signal), or nullopt while it runs or when none was started since the last call.
    std::optional<int> TakeExitStatus();

    pid_t ChildPid() const { return child_; }

private:
    bool ChildAlive();
    // Our copy has been reaped.
    void Forget();

    std::string program_;
    pid_t child_ = -1;
    int control_ = -1;  // our end of the child's control socket
    std::optional<int> exitStatus_;
};

// The virtual camera program next to the running executable.
std::string DefaultVcamProgram();

}  // namespace zavreo
