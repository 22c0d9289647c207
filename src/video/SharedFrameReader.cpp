#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "SharedFrame.h"

namespace zavreo {

std::string SharedFrameName() {
    const char* custom = std::getenv("ZAVREO_SHARED_FRAME");
    return custom != nullptr && *custom != '\0' ? custom : "/MYSHARE";
}

SharedFrameReader::SharedFrameReader(std::string name) : name_(std::move(name)) {}

SharedFrameReader::~SharedFrameReader() {
    Close();
}

bool SharedFrameReader::Open() {
    const int fd = shm_open(name_.c_str(), O_RDONLY, 0);
    if (fd < 0) {
        return false;
    }
    struct stat info {};
    if (fstat(fd, &info) != 0 || static_cast<size_t>(info.st_size) < kFrameBytes) {
        close(fd);
        return false;
    }
    void* view = mmap(nullptr, kFrameBytes, PROT_READ, MAP_SHARED, fd, 0);
    close(fd);
    if (view == MAP_FAILED) {
        return false;
    }
    data_ = static_cast<const uint8_t*>(view);
    inode_ = info.st_ino;
    return true;
}

void SharedFrameReader::Close() {
    if (data_ != nullptr) {
        munmap(const_cast<uint8_t*>(data_), kFrameBytes);
        data_ = nullptr;
    }
}

// True when the name now refers to another object than the one mapped (the writer removed and
// re-created it).
bool SharedFrameReader::Replaced() const {
    const int fd = shm_open(name_.c_str(), O_RDONLY, 0);
    if (fd < 0) {
        return true;
    }
    struct stat info {};
    const bool replaced = fstat(fd, &info) != 0 || info.st_ino != inode_;
    close(fd);
    return replaced;
}

bool SharedFrameReader::CopyFrame(uint8_t* out) {
    if (data_ != nullptr && Replaced()) {
        Close();
    }
    if (data_ == nullptr && !Open()) {
        return false;
    }
    std::memcpy(out, data_, kFrameBytes);
    return true;
}

}  // namespace zavreo
