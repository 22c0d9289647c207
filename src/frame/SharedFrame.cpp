#include "SharedFrame.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "EffectManager.h"

namespace zavreo {

std::string SharedFrameName() {
    const char* custom = std::getenv("ZAVREO_SHARED_FRAME");
    return custom != nullptr && *custom != '\0' ? custom : "/MYSHARE";
}

std::string OwnSharedFrameName(const std::string& wanted, uid_t uid) {
    return wanted + "-" + std::to_string(uid);
}

namespace {

// A block this program may use: a regular object (not a FIFO or device planted at the name), of
// this user, readable by nobody else.
bool OwnPrivateBlock(const struct stat& info) {
    return S_ISREG(info.st_mode) && info.st_uid == geteuid() && (info.st_mode & 077) == 0;
}

bool SameObject(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// The frame goes through the descriptor, never through a mapping: another process of this user
// may shrink the block at any moment, and touching a mapped page past its end raises SIGBUS,
// however recently the size was checked. A write past the end grows the block instead, and a
// read past it comes back short.
bool WriteFrameAt(int fd, const uint8_t* frame) {
    std::size_t done = 0;
    while (done < kFrameBytes) {
        const ssize_t written =
            pwrite(fd, frame + done, kFrameBytes - done, static_cast<off_t>(done));
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(written);
    }
    return true;
}

bool ReadFrameAt(int fd, uint8_t* out) {
    std::size_t done = 0;
    while (done < kFrameBytes) {
        const ssize_t got = pread(fd, out + done, kFrameBytes - done, static_cast<off_t>(done));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(got);
    }
    return true;
}

// A new block at `name`, one frame of black, 0600 whatever the umask; -1 when the name is taken.
int CreateBlock(const std::string& name) {
    // O_NONBLOCK: a FIFO at the name must not hold the start.
    const int fd = shm_open(name.c_str(), O_CREAT | O_EXCL | O_RDWR | O_NONBLOCK, 0600);
    if (fd < 0) {
        return -1;
    }
    if (fchmod(fd, 0600) != 0 || ftruncate(fd, static_cast<off_t>(kFrameBytes)) != 0) {
        close(fd);
        shm_unlink(name.c_str());
        return -1;
    }
    return fd;
}

// The block at `name` when it is, or can become, this user's own private block; else -1 and why.
int OpenOwnBlock(const std::string& name, SharedFrameProblem* problem) {
    int fd = CreateBlock(name);
    if (fd >= 0) {
        return fd;
    }
    if (errno != EEXIST) {
        *problem = errno == EACCES ? SharedFrameProblem::kRefused : SharedFrameProblem::kMissing;
        return -1;
    }
    // Another user's block (EACCES), a link (ELOOP), a folder (EISDIR) or a socket (ENXIO)
    // cannot be opened; a FIFO can, and is turned down below.
    fd = shm_open(name.c_str(), O_RDWR | O_NONBLOCK, 0);
    *problem = SharedFrameProblem::kRefused;
    struct stat info {};
    if (fd < 0) {
        return -1;
    }
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != geteuid()) {
        close(fd);
        return -1;
    }
    // Our own block left wider open by an older run: someone may have opened it meanwhile and
    // would keep reading through that descriptor. A new block takes its name.
    if ((info.st_mode & 077) != 0) {
        close(fd);
        shm_unlink(name.c_str());
        fd = CreateBlock(name);
        *problem = fd >= 0 ? SharedFrameProblem::kNone : SharedFrameProblem::kRefused;
        return fd;
    }
    if (((info.st_mode & 0600) != 0600 && fchmod(fd, 0600) != 0) ||
        (static_cast<size_t>(info.st_size) != kFrameBytes &&
         ftruncate(fd, static_cast<off_t>(kFrameBytes)) != 0)) {
        close(fd);
        return -1;
    }
    *problem = SharedFrameProblem::kNone;
    return fd;
}

// Readers get a descriptor that cannot write: the block opened again, read-only, through the
// process's own link to it (which works after the name is gone).
int ReadOnlyDescriptor(int fd) {
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    const int readOnly = open(self.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    return readOnly >= 0 ? readOnly : fcntl(fd, F_DUPFD_CLOEXEC, 0);
}

std::string RandomSuffix() {
    uint32_t value = 0;
    if (getrandom(&value, sizeof value, GRND_NONBLOCK) != sizeof value) {
        value = static_cast<uint32_t>(getpid()) ^ static_cast<uint32_t>(time(nullptr));
    }
    char text[9];
    std::snprintf(text, sizeof text, "%08x", value);
    return text;
}

}  // namespace

SharedFrame::SharedFrame(std::string wanted) : wanted_(std::move(wanted)), name_(wanted_) {
    SharedFrameProblem problem = SharedFrameProblem::kNone;
    fd_ = OpenOwnBlock(name_, &problem);
    if (fd_ < 0 && problem == SharedFrameProblem::kRefused) {
        // Not ours to have: a name of this user's own. Someone may have planted that too; then
        // one nobody can have guessed.
        name_ = OwnSharedFrameName(wanted_, geteuid());
        fd_ = OpenOwnBlock(name_, &problem);
        for (int attempt = 0; fd_ < 0 && attempt < 8; ++attempt) {
            const std::string unguessable =
                OwnSharedFrameName(wanted_, geteuid()) + "-" + RandomSuffix();
            fd_ = CreateBlock(unguessable);
            if (fd_ >= 0) {
                name_ = unguessable;
            }
        }
    }
    if (fd_ < 0) {
        name_ = wanted_;
        return;
    }
    readFd_ = ReadOnlyDescriptor(fd_);
}

SharedFrame::~SharedFrame() {
    for (const int fd : {fd_, readFd_, standIn_}) {
        if (fd >= 0) {
            close(fd);
        }
    }
}

namespace {
// Set once by ReserveHandDownDescriptor, before any other thread runs.
int reservedHandDown = -1;
}  // namespace

void ReserveHandDownDescriptor() {
    // Holds the number until the block takes its place (dup3 replaces it atomically).
    reservedHandDown = open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (reservedHandDown >= 0) {
        setenv(kSharedFrameFdVariable, std::to_string(reservedHandDown).c_str(), 1);
    }
}

void SharedFrame::HandDown() const {
    if (readFd_ >= 0 && reservedHandDown >= 0) {
        dup3(readFd_, reservedHandDown, O_CLOEXEC);
    }
}

// Readers refuse a block of another size: one shrunk or grown by another process is set back to
// one frame; if that fails the frame is dropped.
bool SharedFrame::SizeIntact(int fd) {
    struct stat info {};
    if (fstat(fd, &info) != 0) {
        return false;
    }
    return static_cast<size_t>(info.st_size) == kFrameBytes ||
           ftruncate(fd, static_cast<off_t>(kFrameBytes)) == 0;
}

void SharedFrame::WriteEverywhere(const uint8_t* frame) {
    const std::lock_guard lock(standInLock_);
    for (const int fd : {fd_, standIn_}) {
        if (fd >= 0 && SizeIntact(fd)) {
            WriteFrameAt(fd, frame);
        }
    }
}

void SharedFrame::Write(const uint8_t* frame) {
    if (fd_ >= 0) {
        WriteEverywhere(frame);
    }
}

FrameNameState SharedFrame::CheckName() {
    if (fd_ < 0) {
        return FrameNameState::kOurs;
    }
    const std::lock_guard lock(standInLock_);
    struct stat ours {};
    struct stat standIn {};
    struct stat named {};
    fstat(fd_, &ours);
    const bool haveStandIn = standIn_ >= 0 && fstat(standIn_, &standIn) == 0;
    const int fd = shm_open(name_.c_str(), O_RDONLY | O_NONBLOCK, 0);
    if (fd >= 0) {
        const bool found = fstat(fd, &named) == 0;
        close(fd);
        if (found && (SameObject(named, ours) || (haveStandIn && SameObject(named, standIn)))) {
            return FrameNameState::kOurs;
        }
    } else if (errno == ENOENT) {
        // Gone: a new block of ours stands in, starting with the picture of this moment.
        const int fresh = CreateBlock(name_);
        if (fresh >= 0) {
            std::vector<uint8_t> frame(kFrameBytes);
            if (ReadFrameAt(fd_, frame.data())) {
                WriteFrameAt(fresh, frame.data());
            }
            if (standIn_ >= 0) {
                close(standIn_);
            }
            standIn_ = fresh;
            return FrameNameState::kRestored;
        }
    }
    // Someone else's block at the name now; a stand-in of ours no longer stands there.
    if (standIn_ >= 0) {
        close(standIn_);
        standIn_ = -1;
    }
    return FrameNameState::kTaken;
}

void SharedFrame::Remove() {
    if (fd_ < 0) {
        return;
    }
    const std::lock_guard lock(standInLock_);
    const int fd = shm_open(name_.c_str(), O_RDONLY | O_NONBLOCK, 0);
    if (fd < 0) {
        return;
    }
    struct stat named {};
    struct stat mine {};
    bool ours = false;
    if (fstat(fd, &named) == 0) {
        for (const int own : {fd_, standIn_}) {
            ours = ours || (own >= 0 && fstat(own, &mine) == 0 && SameObject(named, mine));
        }
    }
    close(fd);
    if (ours) {
        shm_unlink(name_.c_str());
    }
}

bool SharedFrame::WritePlaceholderFrame(const std::string& path) {
    if (fd_ < 0 || !SizeIntact(fd_)) {
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
    WriteEverywhere(pixels.data());
    return true;
}

SharedFrameReader::SharedFrameReader(std::string name) : name_(std::move(name)) {}

SharedFrameReader::SharedFrameReader(std::string name, int fd) : name_(std::move(name)), fd_(fd) {}

SharedFrameReader::SharedFrameReader(const SharedFrame& writer)
    : SharedFrameReader(writer.Name(), writer.ReaderDescriptor() >= 0
                                           ? fcntl(writer.ReaderDescriptor(), F_DUPFD_CLOEXEC, 0)
                                           : -1) {}

SharedFrameReader::~SharedFrameReader() {
    if (fd_ >= 0) {
        close(fd_);
    }
}

int HandedDownFrameDescriptor() {
    const char* handed = std::getenv(kSharedFrameFdVariable);
    if (handed == nullptr) {
        return -1;
    }
    char* end = nullptr;
    errno = 0;
    const long number = std::strtol(handed, &end, 10);
    struct stat info {};
    if (end == handed || *end != '\0' || errno != 0 || number < 0 || number > 1 << 20 ||
        fstat(static_cast<int>(number), &info) != 0 || !OwnPrivateBlock(info)) {
        return -1;
    }
    return static_cast<int>(number);
}

SharedFrameReader SharedFrameReader::HandedDown(std::string name) {
    const int handed = HandedDownFrameDescriptor();
    return SharedFrameReader(std::move(name), handed >= 0 ? fcntl(handed, F_DUPFD_CLOEXEC, 0) : -1);
}

// By name, the name is looked up for every copy: the writer may have re-created the block. Its
// size and owner are checked first; a block shrunk during the copy gives a short read, not a
// fault.
bool SharedFrameReader::CopyFrame(uint8_t* out) {
    const int fd = fd_ >= 0 ? fd_ : shm_open(name_.c_str(), O_RDONLY | O_NONBLOCK, 0);
    if (fd < 0) {
        problem_ = errno == EACCES ? SharedFrameProblem::kRefused : SharedFrameProblem::kMissing;
        return false;
    }
    struct stat info {};
    bool copied = false;
    if (fstat(fd, &info) == 0 && OwnPrivateBlock(info) &&
        static_cast<size_t>(info.st_size) == kFrameBytes) {
        copied = ReadFrameAt(fd, out);
    }
    if (fd != fd_) {
        close(fd);
    }
    problem_ = copied ? SharedFrameProblem::kNone : SharedFrameProblem::kRefused;
    return copied;
}

}  // namespace zavreo
