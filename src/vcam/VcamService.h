#pragma once
// The virtual camera program's work: the shared frame goes to the loopback device (when there is
// one) at the program's rate, and to the PipeWire node's reader (while one reads) at the rate the
// reader chose. The node stays published for the whole run, whatever the shared frame holds, and
// is published again within seconds after the daemon restarts.
//
// A control descriptor (the starting program's end of a socket pair) ties the run to the starting
// program: its end (that program gone) ends the service. What is written on it is ignored.
//
// Threads: the thread calling Run() runs the loop and everything here.

#include <pipewire/pipewire.h>

#include <memory>
#include <string>
#include <vector>

#include "FramePump.h"
#include "LoopbackDevice.h"
#include "PipeWireCamera.h"

namespace zavreo {

class VcamService {
public:
    struct Options {
        int fps = 15;                        // the loopback device's rate, the node's first
        LoopbackDevice* loopback = nullptr;  // none: PipeWire only
        int controlFd = -1;
        std::string sharedFrameName = SharedFrameName();
    };
    explicit VcamService(const Options& options);
    ~VcamService();
    VcamService(const VcamService&) = delete;
    VcamService& operator=(const VcamService&) = delete;

    // What the node offers with the program's rate `fps`: the shared frame's size at `fps` and at
    // the rate web pages ask for, `fps` first.
    static std::vector<CameraMode> NodeModes(int fps);

    // Publishes the node; false when there is neither a loopback device nor a PipeWire daemon,
    // that is nothing to serve.
    bool Start();
    // Serves until SIGTERM, SIGINT or the control descriptor's end; the exit status.
    int Run();
    bool NodePublished() const { return camera_ != nullptr && camera_->Connected(); }

private:
    static void OnLoopbackTick(void* data, uint64_t expirations);
    static void OnNodeTick(void* data, uint64_t expirations);
    static void OnRetry(void* data, uint64_t expirations);
    static void OnQuit(void* data, int signal);
    static void OnControl(void* data, int fd, uint32_t mask);
    void LoopbackTick();
    void NodeTick();
    void Retry();
    void CameraChanged();
    // Fires every 1/`fps` second; 0 disarms.
    void ArmPeriodic(spa_source* timer, uint32_t fps);
    // Fires once after `milliseconds`; 0 disarms.
    void ArmTimer(spa_source* timer, long milliseconds);
    void Quit(int status);

    Options options_;
    pw_main_loop* mainLoop_;
    pw_loop* loop_;
    FramePump loopbackPump_;  // reads and writes the loopback device's frames
    FramePump nodePump_;      // reads the node's frames
    std::unique_ptr<PipeWireCamera> camera_;
    spa_source* loopbackTick_ = nullptr;
    spa_source* nodeTick_ = nullptr;
    spa_source* retry_ = nullptr;
    spa_source* control_ = nullptr;
    uint32_t nodeTickFps_ = 0;  // the rate nodeTick_ is armed at; 0 while nobody reads
    int status_ = 0;
};

}  // namespace zavreo
