#pragma once
// The virtual camera program's work: at a steady rate the shared frame goes to the loopback
// device (when there is one) and to the PipeWire node's reader (while one reads). The node is
// published while it is offered, and found again within seconds after the daemon restarts.
//
// A control descriptor (the starting program's end of a socket pair) may say what to offer: 'o'
// publishes the node, 'w' withdraws it half a second later unless an 'o' follows (the program's
// camera closed); its end (the program gone) ends the service.
//
// Threads: the thread calling Run() runs the loop and everything here.

#include <pipewire/pipewire.h>

#include <memory>
#include <string>

#include "FramePump.h"
#include "LoopbackDevice.h"
#include "PipeWireCamera.h"

namespace zavreo {

class VcamService {
public:
    struct Options {
        int fps = 15;
        LoopbackDevice* loopback = nullptr;  // none: PipeWire only
        int controlFd = -1;
        std::string sharedFrameName = SharedFrameName();
    };
    explicit VcamService(const Options& options);
    ~VcamService();
    VcamService(const VcamService&) = delete;
    VcamService& operator=(const VcamService&) = delete;

    // Publishes the node; false when there is neither a loopback device nor a PipeWire daemon,
    // that is nothing to serve.
    bool Start();
    // Serves until SIGTERM, SIGINT or the control descriptor's end; the exit status.
    int Run();
    bool NodePublished() const { return camera_ != nullptr && camera_->Connected(); }

private:
    static void OnTick(void* data, uint64_t expirations);
    static void OnRetry(void* data, uint64_t expirations);
    static void OnWithdraw(void* data, uint64_t expirations);
    static void OnQuit(void* data, int signal);
    static void OnControl(void* data, int fd, uint32_t mask);
    void Tick();
    void Retry();
    void CameraChanged();
    void SetOffered(bool offered);
    void ArmTick(bool on);
    // Fires once after `milliseconds`; 0 disarms.
    void ArmTimer(spa_source* timer, long milliseconds);
    void Quit(int status);

    Options options_;
    pw_main_loop* mainLoop_;
    pw_loop* loop_;
    FramePump pump_;
    std::unique_ptr<PipeWireCamera> camera_;
    spa_source* tick_ = nullptr;
    spa_source* retry_ = nullptr;
    spa_source* withdraw_ = nullptr;
    spa_source* control_ = nullptr;
    bool ticking_ = false;
    bool offered_ = true;
    int status_ = 0;
};

}  // namespace zavreo
