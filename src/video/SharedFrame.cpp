#include "SharedFrame.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "EffectManager.h"

namespace zavreo {

SharedFrame::SharedFrame(std::string name) : name_(std::move(name)) {
    const int fd = shm_open(name_.c_str(), O_CREAT | O_RDWR, 0600);
    if (fd < 0) {
        return;
    }
    struct stat info {};
    if (fstat(fd, &info) == 0 && static_cast<size_t>(info.st_size) != kFrameBytes &&
        ftruncate(fd, static_cast<off_t>(kFrameBytes)) != 0) {
        close(fd);
        return;
    }
    void* view = mmap(nullptr, kFrameBytes, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    close(fd);
    if (view != MAP_FAILED) {
        data_ = static_cast<uint8_t*>(view);
    }
}

SharedFrame::~SharedFrame() {
    if (data_ != nullptr) {
        munmap(data_, kFrameBytes);
    }
}

void SharedFrame::Write(const uint8_t* frame) {
    if (data_ != nullptr) {
        std::memcpy(data_, frame, kFrameBytes);
    }
}

bool SharedFrame::WritePlaceholderFrame(const std::string& path) {
    if (data_ == nullptr) {
        return false;
    }
    EM::EffectImage* picture = EM::Helper::ReadImage(path);
    if (picture == nullptr) {
        return false;
    }
    EM::EffectImage frame;
    frame.pixels = data_;
    frame.width = kFrameWidth;
    frame.height = kFrameHeight;
    frame.stride = kFrameStride;
    if (picture->width == kFrameWidth && picture->height == kFrameHeight) {
        std::memcpy(data_, picture->pixels, kFrameBytes);
    } else {
        EM::Helper::Resize(picture, &frame);
    }
    EM::Helper::FreeImage(picture);
    EM::Helper::Hflip(&frame);
    return true;
}

}  // namespace zavreo
