#include "SharedFrame.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "EffectManager.h"

namespace zavreo {

std::string SharedFrameName() {
    const char* custom = std::getenv("ZAVREO_SHARED_FRAME");
    return custom != nullptr && *custom != '\0' ? custom : "/MYSHARE";
}

namespace {

// A block this program may use: a regular object (not a FIFO or device planted at the name), of
// this user, readable by nobody else.
bool OwnPrivateBlock(const struct stat& info) {
    return S_ISREG(info.st_mode) && info.st_uid == geteuid() && (info.st_mode & 077) == 0;
}

}  // namespace

SharedFrame::SharedFrame(std::string name) : name_(std::move(name)) {
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
    void* view = mmap(nullptr, kFrameBytes, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (view == MAP_FAILED) {
        close(fd);
        return;
    }
    fd_ = fd;
    data_ = static_cast<uint8_t*>(view);
    problem_ = SharedFrameProblem::kNone;
}

SharedFrame::~SharedFrame() {
    if (data_ != nullptr) {
        munmap(data_, kFrameBytes);
        close(fd_);
    }
}

// Touching a page past the end of a shrunk block raises SIGBUS. The block is ours, so it is grown
// back to one frame; if that fails the frame is dropped.
bool SharedFrame::SizeIntact() {
    struct stat info {};
    if (fstat(fd_, &info) != 0) {
        return false;
    }
    return static_cast<size_t>(info.st_size) == kFrameBytes ||
           ftruncate(fd_, static_cast<off_t>(kFrameBytes)) == 0;
}

void SharedFrame::Write(const uint8_t* frame) {
    if (data_ != nullptr && SizeIntact()) {
        std::memcpy(data_, frame, kFrameBytes);
    }
}

void SharedFrame::Remove() {
    if (data_ != nullptr) {
        shm_unlink(name_.c_str());
    }
}

bool SharedFrame::WritePlaceholderFrame(const std::string& path) {
    if (data_ == nullptr || !SizeIntact()) {
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

SharedFrameReader::SharedFrameReader(std::string name) : name_(std::move(name)) {}

SharedFrameReader::~SharedFrameReader() {
    Close();
}

void SharedFrameReader::Close() {
    if (data_ != nullptr) {
        munmap(const_cast<uint8_t*>(data_), kFrameBytes);
        data_ = nullptr;
    }
}

// The name is looked up for every read: the writer may have re-created the block, and its size
// and owner are checked right before the read, so a block shrunk meanwhile is not touched.
bool SharedFrameReader::ReadFrame(const std::function<void(const uint8_t* frame)>& use) {
    const int fd = shm_open(name_.c_str(), O_RDONLY | O_NONBLOCK, 0);
    if (fd < 0) {
        Close();
        problem_ = errno == EACCES ? SharedFrameProblem::kRefused : SharedFrameProblem::kMissing;
        return false;
    }
    struct stat info {};
    if (fstat(fd, &info) != 0 || !OwnPrivateBlock(info) ||
        static_cast<size_t>(info.st_size) != kFrameBytes) {
        close(fd);
        Close();
        problem_ = SharedFrameProblem::kRefused;
        return false;
    }
    if (data_ != nullptr && info.st_ino != inode_) {
        Close();
    }
    if (data_ == nullptr) {
        void* view = mmap(nullptr, kFrameBytes, PROT_READ, MAP_SHARED, fd, 0);
        if (view == MAP_FAILED) {
            close(fd);
            problem_ = SharedFrameProblem::kMissing;
            return false;
        }
        data_ = static_cast<const uint8_t*>(view);
        inode_ = info.st_ino;
    }
    close(fd);
    use(data_);
    problem_ = SharedFrameProblem::kNone;
    return true;
}

bool SharedFrameReader::CopyFrame(uint8_t* out) {
    return ReadFrame([out](const uint8_t* frame) { std::memcpy(out, frame, kFrameBytes); });
}

}  // namespace zavreo
