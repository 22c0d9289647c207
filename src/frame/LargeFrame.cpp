#include "LargeFrame.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstring>

#include "BlockIo.h"
#include "EffectManager.h"
#include "SharedFrame.h"

namespace zavreo {
namespace {

constexpr char kMagic[8] = {'Z', 'V', 'L', 'A', 'R', 'G', 'E', '1'};
constexpr uint32_t kFourccBgr3 = 'B' | ('G' << 8) | ('R' << 16) | (uint32_t{'3'} << 24);
constexpr uint32_t kBottomUp = 1;
constexpr off_t kSequenceOffset = 40;

struct Header {
    char magic[8];
    uint32_t headerBytes;
    uint32_t width;
    uint32_t height;
    uint32_t stride;
    uint32_t fourcc;
    uint32_t flags;
    uint32_t fps;
    uint32_t reserved;
    uint64_t sequence;
    uint8_t spare[16];
};
static_assert(sizeof(Header) == kLargeFrameHeaderBytes);
static_assert(offsetof(Header, sequence) == kSequenceOffset);

bool SizeInRange(int width, int height) {
    return width > 0 && height > 0 && width <= kLargeFrameMaxWidth &&
           height <= kLargeFrameMaxHeight;
}

off_t BlockBytes(const LargeFrameLayout& layout) {
    return static_cast<off_t>(kLargeFrameHeaderBytes + layout.Bytes());
}

}  // namespace

std::string LargeFrameName(const std::string& sharedFrameName) {
    return OwnSharedFrameName(sharedFrameName, geteuid()) + "-hd";
}

LargeFrame::LargeFrame(std::string name) : name_(std::move(name)) {}

LargeFrame::~LargeFrame() {
    if (fd_ >= 0) {
        close(fd_);
    }
}

bool LargeFrame::IsOpen() const {
    std::lock_guard lock(mutex_);
    return fd_ >= 0;
}

bool LargeFrame::Open(int width, int height, int fps) {
    std::lock_guard lock(mutex_);
    if (!SizeInRange(width, height)) {
        return false;
    }
    if (fd_ >= 0 && layout_.width == width && layout_.height == height && layout_.fps == fps) {
        return true;
    }
    if (fd_ < 0) {
        // Never through a link, and a FIFO planted at the name must not hold the start.
        int fd = shm_open(name_.c_str(), O_CREAT | O_EXCL | O_RDWR | O_NONBLOCK | O_NOFOLLOW, 0600);
        if (fd < 0 && errno == EEXIST) {
            fd = shm_open(name_.c_str(), O_RDWR | O_NONBLOCK | O_NOFOLLOW, 0);
        }
        if (fd < 0) {
            return false;
        }
        struct stat info {};
        // Our own block left wider open by an older run is closed up; anyone else's is refused.
        if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != geteuid() ||
            ((info.st_mode & 0777) != 0600 && fchmod(fd, 0600) != 0)) {
            close(fd);
            return false;
        }
        fd_ = fd;
    }
    layout_.width = width;
    layout_.height = height;
    layout_.fps = fps;
    layout_.sequence += layout_.sequence % 2;  // even: no frame being written
    scaled_.assign(layout_.Bytes(), 0);
    // Black until the first picture; the header last, so a reader never sees a size the block
    // does not have.
    if (ftruncate(fd_, BlockBytes(layout_)) != 0 ||
        !WriteBlockAt(fd_, scaled_.data(), scaled_.size(), kLargeFrameHeaderBytes) ||
        !WriteHeader()) {
        close(fd_);
        fd_ = -1;
        shm_unlink(name_.c_str());
        return false;
    }
    return true;
}

void LargeFrame::Close() {
    std::lock_guard lock(mutex_);
    if (fd_ < 0) {
        return;
    }
    shm_unlink(name_.c_str());
    close(fd_);
    fd_ = -1;
    scaled_.clear();
    scaled_.shrink_to_fit();
}

bool LargeFrame::WriteHeader() {
    Header header{};
    std::memcpy(header.magic, kMagic, sizeof kMagic);
    header.headerBytes = kLargeFrameHeaderBytes;
    header.width = static_cast<uint32_t>(layout_.width);
    header.height = static_cast<uint32_t>(layout_.height);
    header.stride = static_cast<uint32_t>(layout_.width) * 3;
    header.fourcc = kFourccBgr3;
    header.flags = kBottomUp;
    header.fps = static_cast<uint32_t>(layout_.fps);
    header.sequence = layout_.sequence;
    return WriteBlockAt(fd_, reinterpret_cast<const uint8_t*>(&header), sizeof header, 0);
}

void LargeFrame::Write(const uint8_t* bottomUpBgr) {
    std::lock_guard lock(mutex_);
    WriteLocked(bottomUpBgr);
}

void LargeFrame::WriteScaled(const uint8_t* bottomUpBgr, int width, int height) {
    std::lock_guard lock(mutex_);
    if (fd_ < 0 || width <= 0 || height <= 0) {
        return;
    }
    EM::EffectImage from;
    from.pixels = const_cast<uint8_t*>(bottomUpBgr);
    from.width = width;
    from.height = height;
    from.stride = width * 3;
    EM::EffectImage to;
    to.pixels = scaled_.data();
    to.width = layout_.width;
    to.height = layout_.height;
    to.stride = layout_.width * 3;
    EM::Helper::Resize(&from, &to);
    WriteLocked(scaled_.data());
}

// The sequence is odd while the pixels change: a reader that sees it odd, or changed by the time
// it has read the pixels, knows it may hold parts of two frames. The whole header is written each
// time, so one damaged by another process of this user heals with the next frame.
void LargeFrame::WriteLocked(const uint8_t* bottomUpBgr) {
    if (fd_ < 0) {
        return;
    }
    struct stat info {};
    if (fstat(fd_, &info) != 0 ||
        (info.st_size != BlockBytes(layout_) && ftruncate(fd_, BlockBytes(layout_)) != 0)) {
        return;
    }
    ++layout_.sequence;
    WriteHeader();
    WriteBlockAt(fd_, bottomUpBgr, layout_.Bytes(), kLargeFrameHeaderBytes);
    ++layout_.sequence;
    WriteHeader();
}

LargeFrameReader::LargeFrameReader(std::string name) : name_(std::move(name)) {}

// The descriptor of a block that is this user's own and whose header describes it, else -1.
int LargeFrameReader::OpenChecked(LargeFrameLayout* layout) const {
    const int fd = shm_open(name_.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW, 0);
    if (fd < 0) {
        return -1;
    }
    struct stat info {};
    Header header{};
    if (fstat(fd, &info) != 0 || !OwnPrivateBlock(info) ||
        !ReadBlockAt(fd, reinterpret_cast<uint8_t*>(&header), sizeof header, 0) ||
        std::memcmp(header.magic, kMagic, sizeof kMagic) != 0 ||
        header.headerBytes != kLargeFrameHeaderBytes || header.fourcc != kFourccBgr3 ||
        header.flags != kBottomUp || header.width > kLargeFrameMaxWidth ||
        header.height > kLargeFrameMaxHeight ||
        !SizeInRange(static_cast<int>(header.width), static_cast<int>(header.height)) ||
        header.stride != header.width * 3) {
        close(fd);
        return -1;
    }
    layout->width = static_cast<int>(header.width);
    layout->height = static_cast<int>(header.height);
    layout->fps = static_cast<int>(header.fps);
    layout->sequence = header.sequence;
    if (info.st_size != BlockBytes(*layout)) {
        close(fd);
        return -1;
    }
    return fd;
}

bool LargeFrameReader::Peek(LargeFrameLayout* layout) const {
    const int fd = OpenChecked(layout);
    if (fd < 0) {
        return false;
    }
    close(fd);
    return true;
}

bool LargeFrameReader::Read(std::vector<uint8_t>* pixels, LargeFrameLayout* layout) {
    const int fd = OpenChecked(layout);
    if (fd < 0) {
        return false;
    }
    scratch_.resize(layout->Bytes());
    auto sequence = [fd](uint64_t* value) {
        return ReadBlockAt(fd, reinterpret_cast<uint8_t*>(value), sizeof *value, kSequenceOffset);
    };
    bool read = false, whole = false;
    // A frame takes well under a millisecond to write: after a pause that long the next try
    // usually finds a whole one.
    for (int attempt = 0; attempt < 4 && !whole; ++attempt) {
        if (attempt > 0) {
            usleep(1000);
            if (!sequence(&layout->sequence)) {
                read = false;
                break;
            }
        }
        uint64_t after = 0;
        read = ReadBlockAt(fd, scratch_.data(), scratch_.size(), kLargeFrameHeaderBytes) &&
               sequence(&after);
        whole = read && after == layout->sequence && after % 2 == 0;
    }
    close(fd);
    // A writer held up in the middle of a frame (a busy machine) leaves the previous whole frame
    // in place; only without one is a mixed frame better than none.
    if (read && (whole || pixels->size() != scratch_.size())) {
        pixels->swap(scratch_);
    }
    return read;
}

}  // namespace zavreo
