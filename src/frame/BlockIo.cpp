#include "BlockIo.h"

#include <unistd.h>

#include <cerrno>

namespace zavreo {

bool OwnPrivateBlock(const struct stat& info) {
    return S_ISREG(info.st_mode) && info.st_uid == geteuid() && (info.st_mode & 077) == 0;
}

bool WriteBlockAt(int fd, const uint8_t* data, size_t bytes, off_t offset) {
    size_t done = 0;
    while (done < bytes) {
        const ssize_t written =
            pwrite(fd, data + done, bytes - done, offset + static_cast<off_t>(done));
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        done += static_cast<size_t>(written);
    }
    return true;
}

bool ReadBlockAt(int fd, uint8_t* out, size_t bytes, off_t offset) {
    size_t done = 0;
    while (done < bytes) {
        const ssize_t got = pread(fd, out + done, bytes - done, offset + static_cast<off_t>(done));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return false;
        }
        done += static_cast<size_t>(got);
    }
    return true;
}

}  // namespace zavreo
