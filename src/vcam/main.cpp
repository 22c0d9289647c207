// zavreo-vcam: serves the shared frame as a camera through the v4l2loopback device labelled
// "Zavreo直播助手", at a steady rate, until stopped.
//
//   zavreo-vcam [--fps N] [--device /dev/videoN]

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "FramePump.h"
#include "LoopbackDevice.h"
#include "VirtualCamera.h"

namespace {

volatile sig_atomic_t g_stop = 0;

void OnSignal(int) {
    g_stop = 1;
}

int Usage() {
    std::fprintf(stderr, "usage: zavreo-vcam [--fps N (1..60, default 15)] [--device PATH]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    int fps = 15;
    std::string devicePath;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--fps" && i + 1 < argc) {
            char* end = nullptr;
            const long value = std::strtol(argv[++i], &end, 10);
            if (*end != '\0' || value < 1 || value > 60) {
                return Usage();
            }
            fps = static_cast<int>(value);
        } else if (arg == "--device" && i + 1 < argc) {
            devicePath = argv[++i];
        } else {
            return Usage();
        }
    }

    zavreo::LoopbackDevice device;
    std::string error;
    if (!device.Open(zavreo::kVirtualCameraName, devicePath, &error)) {
        std::fprintf(stderr,
                     "zavreo-vcam: %s.\n"
                     "Create the virtual camera (as root), then start zavreo-vcam again:\n"
                     "  modprobe v4l2loopback card_label=\"%s\" exclusive_caps=1\n",
                     error.c_str(), zavreo::kVirtualCameraName);
        return zavreo::kVcamExitNoDevice;
    }

    // One copy serves the device; the lock tells the main program one is running.
    const int lock = zavreo::OpenVcamLock(O_CREAT | O_RDWR);
    if (lock < 0 || flock(lock, LOCK_EX | LOCK_NB) != 0) {
        std::fprintf(stderr, "zavreo-vcam: already running\n");
        return 0;
    }

    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);

    zavreo::FramePump pump(
        zavreo::SharedFrameName(), device.PixelFormat(),
        [&](const uint8_t* data, size_t bytes) { return device.Write(data, bytes); });
    std::printf("zavreo-vcam: serving %s at %d frames per second\n", device.Path().c_str(), fps);
    std::fflush(stdout);

    const long periodNs = 1000000000L / fps;
    timespec next{};
    clock_gettime(CLOCK_MONOTONIC, &next);
    while (!g_stop) {
        if (!pump.Tick()) {
            std::fprintf(stderr, "zavreo-vcam: writing to %s failed: %s\n", device.Path().c_str(),
                         std::strerror(errno));
            return 1;
        }
        next.tv_nsec += periodNs;
        while (next.tv_nsec >= 1000000000L) {
            next.tv_nsec -= 1000000000L;
            ++next.tv_sec;
        }
        clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &next, nullptr);
    }
    return 0;
}
