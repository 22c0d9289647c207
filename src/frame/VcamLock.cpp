#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "VirtualCamera.h"

namespace zavreo {

std::string VcamLockPath() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && *runtime != '\0') {
        return std::string(runtime) + "/zavreo-vcam.lock";
    }
    // Not the shared /tmp, where another user could plant the lock (and hold it, so that the
    // virtual camera never starts) or a link in its place: a private folder in the home.
    const char* home = std::getenv("HOME");
    const std::string cache = std::string(home != nullptr ? home : "") + "/.cache";
    mkdir(cache.c_str(), 0700);
    mkdir((cache + "/ZavreoZhuShou").c_str(), 0700);
    return cache + "/ZavreoZhuShou/zavreo-vcam.lock";
}

int OpenVcamLock(int flags) {
    return open(VcamLockPath().c_str(), flags | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600);
}

bool VcamLockHeld() {
    const int fd = OpenVcamLock(O_RDONLY);
    if (fd < 0) {
        return false;
    }
    const bool held = flock(fd, LOCK_SH | LOCK_NB) != 0;
    close(fd);
    return held;
}

}  // namespace zavreo
