#pragma once
// The program's output picture: one 640 x 480 BGR frame, bottom row first, in the POSIX shared
// memory object "/MYSHARE" (mode 0600, no header, no lock). The virtual camera reads it.
//
// "/MYSHARE" is one name for the whole machine: the first user to start the program has it. A
// program that cannot have it (another user's block, or something else planted at the name)
// writes a block of its own, "/MYSHARE-<uid>", and hands that block down to its readers (the
// preview, the recorder and the virtual camera program) as a descriptor, so they always read the
// block the program writes, whatever the name comes to point at later.

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>

namespace zavreo {

constexpr int kFrameWidth = 640;
constexpr int kFrameHeight = 480;
constexpr int kFrameStride = kFrameWidth * 3;
constexpr size_t kFrameBytes = static_cast<size_t>(kFrameStride) * kFrameHeight;  // 921600

// "/MYSHARE", or the name in ZAVREO_SHARED_FRAME (tests and side-by-side runs use their own).
std::string SharedFrameName();
// The name of `uid`'s own block when `wanted` is not theirs to have: "<wanted>-<uid>".
std::string OwnSharedFrameName(const std::string& wanted, uid_t uid);

// The environment variable through which the program hands its block down: the number of a
// read-only descriptor of it, open in the process that reads the variable (the recorder library
// in the program itself; the virtual camera program, which gets its own number at its start).
inline constexpr char kSharedFrameFdVariable[] = "ZAVREO_SHARED_FRAME_FD";
// The descriptor kSharedFrameFdVariable names, when it is open in this process and a private
// block of this user's; else -1. A variable inherited without its descriptor names something
// else, or nothing.
int HandedDownFrameDescriptor();
// Reserves the descriptor the program's block will be handed down on and names it in
// kSharedFrameFdVariable. The environment is changed only here: call it while the process has
// one thread (first thing in main).
void ReserveHandDownDescriptor();

// Why a block cannot be used.
enum class SharedFrameProblem {
    kNone,
    kMissing,  // no block (readers wait for the writer; a writer could make none at all)
    kRefused,  // not a regular object of this user with mode 0600, or of another size
};

// What the block's name points at, as SharedFrame::CheckName found it.
enum class FrameNameState {
    kOurs,      // this program's block
    kRestored,  // the name was gone: a new block of ours stands there again
    kTaken,     // another block stands there (the readers keep following ours)
};

// Read-write block, created when missing. Written by the streaming thread (camera frames) and
// the interface thread (placeholder, still pictures); readers accept torn frames.
//
// Only a block of this user, readable by nobody else, is used: one made by someone else (who
// could read the frames or show a picture of their own), a link or anything but a regular object
// at the name makes the program use its own name instead. Frames are written through the
// descriptor, not a mapping, so a block shrunk by another process is grown back instead of
// faulting.
class SharedFrame {
public:
    explicit SharedFrame(std::string wanted = SharedFrameName());
    ~SharedFrame();
    SharedFrame(const SharedFrame&) = delete;
    SharedFrame& operator=(const SharedFrame&) = delete;

    bool IsOpen() const { return fd_ >= 0; }
    // The name of the block written; it differs from WantedName() when that one was not ours.
    const std::string& Name() const { return name_; }
    const std::string& WantedName() const { return wanted_; }
    bool Displaced() const { return IsOpen() && name_ != wanted_; }

    // Copies one whole frame in the block's layout.
    void Write(const uint8_t* frame);
    // Writes "test.png" from the current directory, scaled to 640 x 480 if needed. A missing or
    // undecodable file leaves the block as it is.
    bool WritePlaceholderFrame(const std::string& path = "test.png");

    // Looks whether the name still points at this block: a name removed meanwhile gets a new
    // block of ours, which then receives every frame too; one taken by another block is left to
    // it. Interface thread.
    FrameNameState CheckName();
    // Removes the name at exit, so the last picture does not outlive the program; only when it
    // still points at a block of ours. The descriptors stay valid for late writers.
    void Remove();

    // A read-only descriptor of the block for readers, owned by this object; -1 when not open.
    int ReaderDescriptor() const { return readFd_; }
    // Puts a read-only descriptor of the block on the one ReserveHandDownDescriptor reserved, so
    // the recorder library in this process and the virtual camera program find it. Without a
    // reservation nothing is handed down.
    void HandDown() const;

private:
    bool SizeIntact(int fd);
    // Every descriptor a frame goes to: the block, and the one standing in at the name.
    void WriteEverywhere(const uint8_t* frame);

    std::string wanted_;
    std::string name_;
    int fd_ = -1;
    int readFd_ = -1;
    // Guards standIn_: written by CheckName, read by every write.
    std::mutex standInLock_;
    int standIn_ = -1;
};

// Reads frames for the preview, the virtual camera and the recorder: either through a
// descriptor of the writer's block (the program's own readers), or by name, looked up for every
// copy, so that it works whether or not the writer has started and follows a block that was
// re-created (the virtual camera started by hand). A block that is not this user's own, or not
// one frame long, is never copied; one shrunk during a copy fails that copy.
class SharedFrameReader {
public:
    explicit SharedFrameReader(std::string name);
    // Reads `writer`'s block.
    explicit SharedFrameReader(const SharedFrame& writer);
    ~SharedFrameReader();
    SharedFrameReader(const SharedFrameReader&) = delete;
    SharedFrameReader& operator=(const SharedFrameReader&) = delete;

    // The block handed down through kSharedFrameFdVariable when it names a usable one, else
    // `name`.
    static SharedFrameReader HandedDown(std::string name = SharedFrameName());

    // Copies the current frame (kFrameBytes) into `out`; false while no usable block exists.
    bool CopyFrame(uint8_t* out);
    // Why the last CopyFrame failed.
    SharedFrameProblem Problem() const { return problem_; }
    // Reads through a descriptor rather than by name.
    bool Follows() const { return fd_ >= 0; }

private:
    SharedFrameReader(std::string name, int fd);

    std::string name_;
    int fd_ = -1;
    SharedFrameProblem problem_ = SharedFrameProblem::kMissing;
};

}  // namespace zavreo
