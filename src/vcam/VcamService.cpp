#include "VcamService.h"

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace zavreo {
namespace {

// How soon a lost daemon is looked for again, and how often after that.
constexpr long kReconnectSoonMs = 200;
constexpr long kReconnectEveryMs = 1000;
// What web pages ask a camera for; one that must have it is refused a camera without it.
constexpr int kPageFps = 30;

timespec Nanoseconds(long long ns) {
    return timespec{static_cast<time_t>(ns / 1000000000LL), static_cast<long>(ns % 1000000000LL)};
}

FramePump::Writer LoopbackWriter(LoopbackDevice* device) {
    if (device == nullptr) {
        return nullptr;
    }
    return [device](const uint8_t* data, size_t bytes) { return device->Write(data, bytes); };
}

}  // namespace

std::vector<CameraMode> VcamService::NodeModes(int fps) {
    std::vector<CameraMode> modes{{kFrameWidth, kFrameHeight, static_cast<uint32_t>(fps)}};
    if (fps != kPageFps) {
        modes.push_back({kFrameWidth, kFrameHeight, kPageFps});
    }
    return modes;
}

VcamService::VcamService(const Options& options)
    : options_(options),
      mainLoop_(pw_main_loop_new(nullptr)),
      loop_(pw_main_loop_get_loop(mainLoop_)),
      loopbackPump_(options.sharedFrameName,
                    options.loopback != nullptr ? options.loopback->PixelFormat() : 0,
                    LoopbackWriter(options.loopback)),
      nodePump_(options.sharedFrameName, 0, nullptr) {
    if (LoopbackDevice* device = options.loopback) {
        loopbackPump_.SetWriterSize(
            device->Width(), device->Height(),
            [device](int width, int height) { return device->SetSize(width, height); });
    }
    camera_ = std::make_unique<PipeWireCamera>(loop_, NodeModes(options_.fps),
                                               [this] { CameraChanged(); });
    loopbackTick_ = pw_loop_add_timer(loop_, &VcamService::OnLoopbackTick, this);
    nodeTick_ = pw_loop_add_timer(loop_, &VcamService::OnNodeTick, this);
    retry_ = pw_loop_add_timer(loop_, &VcamService::OnRetry, this);
    pw_loop_add_signal(loop_, SIGTERM, &VcamService::OnQuit, this);
    pw_loop_add_signal(loop_, SIGINT, &VcamService::OnQuit, this);
    if (options_.controlFd >= 0) {
        control_ = pw_loop_add_io(loop_, options_.controlFd, SPA_IO_IN | SPA_IO_HUP | SPA_IO_ERR,
                                  false, &VcamService::OnControl, this);
    }
}

VcamService::~VcamService() {
    // The node goes before the loop that carries it.
    camera_.reset();
    pw_main_loop_destroy(mainLoop_);
}

bool VcamService::Start() {
    const bool published = camera_->Connect();
    if (!published && options_.loopback == nullptr) {
        return false;
    }
    if (!published) {
        ArmTimer(retry_, kReconnectEveryMs);
    }
    if (options_.loopback != nullptr) {
        ArmPeriodic(loopbackTick_, static_cast<uint32_t>(options_.fps));
    }
    return true;
}

int VcamService::Run() {
    pw_main_loop_run(mainLoop_);
    return status_;
}

void VcamService::Quit(int status) {
    status_ = status;
    pw_main_loop_quit(mainLoop_);
}

void VcamService::OnLoopbackTick(void* data, uint64_t) {
    static_cast<VcamService*>(data)->LoopbackTick();
}

void VcamService::OnNodeTick(void* data, uint64_t) {
    static_cast<VcamService*>(data)->NodeTick();
}

void VcamService::OnRetry(void* data, uint64_t) {
    static_cast<VcamService*>(data)->Retry();
}

void VcamService::OnQuit(void* data, int) {
    static_cast<VcamService*>(data)->Quit(0);
}

void VcamService::OnControl(void* data, int fd, uint32_t) {
    auto* self = static_cast<VcamService*>(data);
    char ignored[64];
    const ssize_t got = read(fd, ignored, sizeof ignored);
    if (got < 0 && (errno == EINTR || errno == EAGAIN)) {
        return;
    }
    if (got <= 0) {
        // The program that started us is gone: so is its camera.
        self->Quit(0);
    }
}

void VcamService::LoopbackTick() {
    if (!loopbackPump_.Tick()) {
        std::fprintf(stderr, "zavreo-vcam: writing to %s failed: %s\n",
                     options_.loopback->Path().c_str(), std::strerror(errno));
        Quit(1);
    }
}

void VcamService::NodeTick() {
    nodePump_.Tick();
    // The node offers 640 x 480: a large picture is stretched to it.
    camera_->Send(nodePump_.FrameAt(kFrameWidth, kFrameHeight));
}

void VcamService::Retry() {
    if (camera_->Connected() && !camera_->Lost()) {
        return;
    }
    camera_->Disconnect();
    if (!camera_->Connect()) {
        ArmTimer(retry_, kReconnectEveryMs);
        return;
    }
    std::printf("zavreo-vcam: PipeWire node %s published\n", kPipeWireNodeName);
    std::fflush(stdout);
}

// Runs inside PipeWire's callbacks, so the connection is only torn down later, from the timer.
// A node nobody reads costs no ticks.
void VcamService::CameraChanged() {
    if (camera_->Lost()) {
        ArmTimer(retry_, kReconnectSoonMs);
    }
    const uint32_t fps = camera_->Streaming() ? camera_->Fps() : 0;
    if (fps != nodeTickFps_) {
        nodeTickFps_ = fps;
        ArmPeriodic(nodeTick_, fps);
    }
}

void VcamService::ArmPeriodic(spa_source* timer, uint32_t fps) {
    if (fps == 0) {
        pw_loop_update_timer(loop_, timer, nullptr, nullptr, false);
        return;
    }
    timespec period = Nanoseconds(1000000000LL / fps);
    pw_loop_update_timer(loop_, timer, &period, &period, false);
}

void VcamService::ArmTimer(spa_source* timer, long milliseconds) {
    if (milliseconds <= 0) {
        pw_loop_update_timer(loop_, timer, nullptr, nullptr, false);
        return;
    }
    timespec when = Nanoseconds(milliseconds * 1000000LL);
    pw_loop_update_timer(loop_, timer, &when, nullptr, false);
}

}  // namespace zavreo
