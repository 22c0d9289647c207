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
// A camera closed and opened again at once (the picture source taking over) keeps its node.
constexpr long kWithdrawAfterMs = 500;

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

VcamService::VcamService(const Options& options)
    : options_(options),
      mainLoop_(pw_main_loop_new(nullptr)),
      loop_(pw_main_loop_get_loop(mainLoop_)),
      pump_(options.sharedFrameName,
            options.loopback != nullptr ? options.loopback->PixelFormat() : 0,
            LoopbackWriter(options.loopback)) {
    if (LoopbackDevice* device = options.loopback) {
        pump_.SetWriterSize(device->Width(), device->Height(), [device](int width, int height) {
            return device->SetSize(width, height);
        });
    }
    camera_ = std::make_unique<PipeWireCamera>(loop_, options_.fps, [this] { CameraChanged(); });
    tick_ = pw_loop_add_timer(loop_, &VcamService::OnTick, this);
    retry_ = pw_loop_add_timer(loop_, &VcamService::OnRetry, this);
    withdraw_ = pw_loop_add_timer(loop_, &VcamService::OnWithdraw, this);
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
    ArmTick(options_.loopback != nullptr);
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

void VcamService::OnTick(void* data, uint64_t) {
    static_cast<VcamService*>(data)->Tick();
}

void VcamService::OnRetry(void* data, uint64_t) {
    static_cast<VcamService*>(data)->Retry();
}

void VcamService::OnWithdraw(void* data, uint64_t) {
    auto* self = static_cast<VcamService*>(data);
    if (!self->offered_) {
        self->ArmTimer(self->retry_, 0);
        self->camera_->Disconnect();
    }
}

void VcamService::OnQuit(void* data, int) {
    static_cast<VcamService*>(data)->Quit(0);
}

void VcamService::OnControl(void* data, int fd, uint32_t) {
    auto* self = static_cast<VcamService*>(data);
    char commands[64];
    const ssize_t got = read(fd, commands, sizeof commands);
    if (got < 0 && (errno == EINTR || errno == EAGAIN)) {
        return;
    }
    if (got <= 0) {
        // The program that started us is gone: so is its camera.
        self->Quit(0);
        return;
    }
    for (ssize_t i = 0; i < got; ++i) {
        if (commands[i] == 'o' || commands[i] == 'w') {
            self->SetOffered(commands[i] == 'o');
        }
    }
}

void VcamService::Tick() {
    if (!pump_.Tick()) {
        std::fprintf(stderr, "zavreo-vcam: writing to %s failed: %s\n",
                     options_.loopback->Path().c_str(), std::strerror(errno));
        Quit(1);
        return;
    }
    camera_->Send(pump_.FrameAt(kFrameWidth, kFrameHeight));
}

void VcamService::Retry() {
    if (!offered_) {
        return;
    }
    if (camera_->Lost()) {
        camera_->Disconnect();
    }
    if (!camera_->Connected() && !camera_->Connect()) {
        ArmTimer(retry_, kReconnectEveryMs);
    } else {
        std::printf("zavreo-vcam: PipeWire node %s published\n", kPipeWireNodeName);
        std::fflush(stdout);
    }
}

// Runs inside PipeWire's callbacks, so the connection is only torn down later, from the timer.
void VcamService::CameraChanged() {
    if (camera_->Lost()) {
        ArmTimer(retry_, kReconnectSoonMs);
    }
    ArmTick(options_.loopback != nullptr || camera_->Streaming());
}

void VcamService::SetOffered(bool offered) {
    offered_ = offered;
    if (!offered) {
        ArmTimer(withdraw_, kWithdrawAfterMs);
        return;
    }
    ArmTimer(withdraw_, 0);
    if (!camera_->Connected() || camera_->Lost()) {
        ArmTimer(retry_, 1);
    }
}

// A node nobody reads costs no ticks unless the loopback device needs them.
void VcamService::ArmTick(bool on) {
    if (on == ticking_) {
        return;
    }
    ticking_ = on;
    if (on) {
        timespec period = Nanoseconds(1000000000LL / options_.fps);
        pw_loop_update_timer(loop_, tick_, &period, &period, false);
    } else {
        pw_loop_update_timer(loop_, tick_, nullptr, nullptr, false);
    }
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
