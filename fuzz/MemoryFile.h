#pragma once
// Fuzz input as a file: the readers under test take paths, and a memory file keeps the runs off
// the disk. Its /proc/self/fd path opens as a regular file.

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>

class MemoryFile {
public:
    MemoryFile(const uint8_t* data, size_t size) : fd_(memfd_create("fuzz", MFD_CLOEXEC)) {
        for (size_t done = 0; fd_ >= 0 && done < size;) {
            const ssize_t written = write(fd_, data + done, size - done);
            if (written <= 0) {
                break;
            }
            done += static_cast<size_t>(written);
        }
    }
    ~MemoryFile() {
        if (fd_ >= 0) {
            close(fd_);
        }
    }
    MemoryFile(const MemoryFile&) = delete;
    MemoryFile& operator=(const MemoryFile&) = delete;

    std::string Path() const { return "/proc/self/fd/" + std::to_string(fd_); }

private:
    int fd_;
};
