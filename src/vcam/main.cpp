// zavreo-vcam: serves the shared frame as a camera named "Zavreo直播助手" until stopped: through
// the v4l2loopback device of that label when it exists (N frames a second), and as a PipeWire
// video source node while a PipeWire daemon answers in the session (at N or 30 frames a second,
// as the reader chooses).
//
//   zavreo-vcam [--fps N] [--device /dev/videoN] [--control-fd N]

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "LoopbackDevice.h"
#include "VcamService.h"
#include "VirtualCamera.h"

namespace {

int Usage() {
    std::fprintf(stderr,
                 "usage: zavreo-vcam [--fps N (1..60, default 15)] [--device PATH] "
                 "[--control-fd N]\n");
    return 2;
}

bool ParseNumber(const char* text, long low, long high, long* value) {
    char* end = nullptr;
    errno = 0;
    *value = std::strtol(text, &end, 10);
    return end != text && *end == '\0' && errno == 0 && *value >= low && *value <= high;
}

}  // namespace

int main(int argc, char** argv) {
    zavreo::VcamService::Options options;
    std::string devicePath;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        long value = 0;
        if (arg == "--fps" && i + 1 < argc) {
            if (!ParseNumber(argv[++i], 1, 60, &value)) {
                return Usage();
            }
            options.fps = static_cast<int>(value);
        } else if (arg == "--device" && i + 1 < argc) {
            devicePath = argv[++i];
        } else if (arg == "--control-fd" && i + 1 < argc) {
            if (!ParseNumber(argv[++i], 0, 1 << 20, &value) || fcntl(value, F_GETFD) < 0) {
                return Usage();
            }
            options.controlFd = static_cast<int>(value);
        } else {
            return Usage();
        }
    }

    // The device starts at the size of the picture there is to serve: the large frame's while
    // the main program keeps one.
    zavreo::LargeFrameLayout large;
    if (!zavreo::LargeFrameReader(zavreo::LargeFrameName(options.sharedFrameName)).Peek(&large)) {
        large.width = zavreo::kFrameWidth;
        large.height = zavreo::kFrameHeight;
    }
    zavreo::LoopbackDevice device;
    std::string error;
    const bool loopback =
        device.Open(zavreo::kVirtualCameraName, devicePath, &error, large.width, large.height);
    // A device named on the command line is what the user wants served, or nothing.
    if (!loopback && !devicePath.empty()) {
        std::fprintf(stderr, "zavreo-vcam: %s.\n", error.c_str());
        return zavreo::kVcamExitNoDevice;
    }

    // One copy serves the camera; the lock tells the main program one is running.
    const int lock = zavreo::OpenVcamLock(O_CREAT | O_RDWR);
    if (lock < 0 || flock(lock, LOCK_EX | LOCK_NB) != 0) {
        std::fprintf(stderr, "zavreo-vcam: already running\n");
        return 0;
    }

    // The loop takes SIGTERM and SIGINT through a signal descriptor; blocked before PipeWire starts
    // its threads, so that none of them is killed by the signal instead.
    sigset_t quit;
    sigemptyset(&quit);
    sigaddset(&quit, SIGTERM);
    sigaddset(&quit, SIGINT);
    pthread_sigmask(SIG_BLOCK, &quit, nullptr);
    pw_init(&argc, &argv);
    options.loopback = loopback ? &device : nullptr;
    int status = 0;
    {
        zavreo::VcamService service(options);
        if (!service.Start()) {
            std::fprintf(stderr,
                         "zavreo-vcam: %s, and no PipeWire daemon answers.\n"
                         "Start PipeWire, or create the virtual camera (as root), then start "
                         "zavreo-vcam again:\n"
                         "  modprobe v4l2loopback card_label=\"%s\" exclusive_caps=1\n",
                         error.c_str(), zavreo::kVirtualCameraName);
            status = zavreo::kVcamExitNoDevice;
        } else {
            if (loopback) {
                std::printf("zavreo-vcam: serving %s at %d frames per second\n",
                            device.Path().c_str(), options.fps);
            }
            if (service.NodePublished()) {
                std::printf("zavreo-vcam: PipeWire node %s,", zavreo::kPipeWireNodeName);
                for (const zavreo::CameraMode& mode : zavreo::VcamService::NodeModes(options.fps)) {
                    std::printf(" %ux%u at %u", mode.width, mode.height, mode.fps);
                }
                std::printf(" frames per second\n");
            }
            std::fflush(stdout);
            status = service.Run();
        }
    }
    pw_deinit();
    return status;
}
