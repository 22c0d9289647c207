#include "SharedFrame.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "BlockIo.h"
#include "EffectManager.h"

namespace zavreo {

std::string SharedFrameName() {
    const char* custom = std::getenv("ZAVREO_SHARED_FRAME");
    return custom != nullptr && *custom != '\0' ? custom : "/MYSHARE";
}

namespace {

bool WriteFrameAt(int fd, const uint8_t* frame) {
    return WriteBlockAt(fd, frame, kFrameBytes, 0);
}

bool ReadFrameAt(int fd, uint8_t* out) {
    return ReadBlockAt(fd, out, kFrameBytes, 0);
}

}  // namespace

SharedFrame::SharedFrame(std::string name) : name_(std::move(name)), large_(LargeFrameName(name_)) {
    // O_NONBLOCK: a FIFO at the name must not hold the start.
    int fd = shm_open(name_.c_str(), O_CREAT | O_EXCL | O_RDWR | O_NONBLOCK, 0600);
    if (fd < 0 && errno == EEXIST) {
        fd = shm_open(name_.c_str(), O_RDWR | O_NONBLOCK, 0);
    }
    if (fd < 0) {
        problem_ = errno == EACCES ? SharedFrameProblem::kRefused : SharedFrameProblem::kMissing;
        return;
    }
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != geteuid()) {
        close(fd);
        problem_ = SharedFrameProblem::kRefused;
        return;
    }
    // Our own block left wider open by an older run: nobody else may read the frames.
    if ((info.st_mode & 0777) != 0600 && fchmod(fd, 0600) != 0) {
        close(fd);
        problem_ = SharedFrameProblem::kRefused;
        return;
    }
    if (static_cast<size_t>(info.st_size) != kFrameBytes &&
        ftruncate(fd, static_cast<off_t>(kFrameBytes)) != 0) {
        close(fd);
        return;
    }
    fd_ = fd;
    problem_ = SharedFrameProblem::kNone;
}

SharedFrame::~SharedFrame() {
    if (fd_ >= 0) {
        close(fd_);
    }
}

// Readers refuse a block of another size: one shrunk or grown by another process is set back to
// one frame; if that fails the frame is dropped.
bool SharedFrame::SizeIntact() {
    struct stat info {};
    if (fstat(fd_, &info) != 0) {
        return false;
    }
    return static_cast<size_t>(info.st_size) == kFrameBytes ||
           ftruncate(fd_, static_cast<off_t>(kFrameBytes)) == 0;
}

void SharedFrame::Write(const uint8_t* frame) {
    WriteAlone(frame);
    large_.WriteScaled(frame, kFrameWidth, kFrameHeight);
}

void SharedFrame::WriteAlone(const uint8_t* frame) {
    if (fd_ >= 0 && SizeIntact()) {
        WriteFrameAt(fd_, frame);
    }
}

void SharedFrame::Remove() {
    large_.Close();
    if (fd_ >= 0) {
        shm_unlink(name_.c_str());
    }
}

bool SharedFrame::WritePlaceholderFrame(const std::string& path) {
    if (fd_ < 0 || !SizeIntact()) {
        return false;
    }
    EM::EffectImage* picture = EM::Helper::ReadImage(path);
    if (picture == nullptr) {
        return false;
    }
    std::vector<uint8_t> pixels(kFrameBytes);
    EM::EffectImage frame;
    frame.pixels = pixels.data();
    frame.width = kFrameWidth;
    frame.height = kFrameHeight;
    frame.stride = kFrameStride;
    if (picture->width == kFrameWidth && picture->height == kFrameHeight) {
        std::memcpy(pixels.data(), picture->pixels, kFrameBytes);
    } else {
        EM::Helper::Resize(picture, &frame);
    }
    EM::Helper::FreeImage(picture);
    EM::Helper::Hflip(&frame);
    large_.WriteScaled(pixels.data(), kFrameWidth, kFrameHeight);
    return WriteFrameAt(fd_, pixels.data());
}

SharedFrameReader::SharedFrameReader(std::string name) : name_(std::move(name)) {}

// The name is looked up for every copy: the writer may have re-created the block. Its size and
// owner are checked first; a block shrunk during the copy gives a short read, not a fault.
bool SharedFrameReader::CopyFrame(uint8_t* out) {
    const int fd = shm_open(name_.c_str(), O_RDONLY | O_NONBLOCK, 0);
    if (fd < 0) {
        problem_ = errno == EACCES ? SharedFrameProblem::kRefused : SharedFrameProblem::kMissing;
        return false;
    }
    struct stat info {};
    if (fstat(fd, &info) != 0 || !OwnPrivateBlock(info) ||
        static_cast<size_t>(info.st_size) != kFrameBytes) {
        close(fd);
        problem_ = SharedFrameProblem::kRefused;
        return false;
    }
    const bool copied = ReadFrameAt(fd, out);
    close(fd);
    problem_ = copied ? SharedFrameProblem::kNone : SharedFrameProblem::kRefused;
    return copied;
}

}  // namespace zavreo
