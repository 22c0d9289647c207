#pragma once
// Starts and stops the virtual camera program. A running copy holds the lock file named by
// VcamLockPath(), so a copy started by someone else counts as running and is left alone.
//
// Threads: interface thread only.

#include <sys/types.h>

#include <string>

namespace zavreo {

// "$XDG_RUNTIME_DIR/zavreo-vcam.lock" (or /tmp/zavreo-vcam-<uid>.lock without a runtime folder).
std::string VcamLockPath();

// True while some process holds the virtual camera's lock.
bool VcamLockHeld();

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

    pid_t ChildPid() const { return child_; }

private:
    bool ChildAlive();

    std::string program_;
    pid_t child_ = -1;
};

// The virtual camera program next to the running executable.
std::string DefaultVcamProgram();

}  // namespace zavreo
