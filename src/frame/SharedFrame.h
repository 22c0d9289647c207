#pragma once
// The program's output picture: one 640 x 480 BGR frame, bottom row first, in the POSIX shared
// memory object "/MYSHARE" (mode 0600, no header, no lock). The virtual camera reads it.

#include <cstddef>
#include <cstdint>
#include <string>

#include "LargeFrame.h"

namespace zavreo {

constexpr int kFrameWidth = 640;
constexpr int kFrameHeight = 480;
constexpr int kFrameStride = kFrameWidth * 3;
constexpr size_t kFrameBytes = static_cast<size_t>(kFrameStride) * kFrameHeight;  // 921600

// "/MYSHARE", or the name in ZAVREO_SHARED_FRAME (tests and side-by-side runs use their own).
std::string SharedFrameName();

// Why a block cannot be used.
enum class SharedFrameProblem {
    kNone,
    kMissing,  // no block yet (readers wait for the writer)
    kRefused,  // not a regular object of this user with mode 0600, or of another size
};

// Read-write mapping, created when missing. Written by the streaming thread (camera frames) and
// the interface thread (placeholder, still pictures); readers accept torn frames.
//
// Only a block of this user is used: one made by someone else (who could read the frames or
// show a picture of their own) is refused and nothing is written. Frames are written through the
// descriptor, not a mapping, so a block shrunk by another process is grown back instead of
// faulting.
class SharedFrame {
public:
    explicit SharedFrame(std::string name = SharedFrameName());
    ~SharedFrame();
    SharedFrame(const SharedFrame&) = delete;
    SharedFrame& operator=(const SharedFrame&) = delete;

    bool IsOpen() const { return fd_ >= 0; }
    SharedFrameProblem Problem() const { return problem_; }
    const std::string& Name() const { return name_; }
    // Copies one whole frame in the block's layout. While the large frame is open, the picture
    // goes there too, stretched to its size.
    void Write(const uint8_t* frame);
    // Only into this block: the camera's processed large frame goes to Large() itself.
    void WriteAlone(const uint8_t* frame);
    // The virtual camera's picture at a larger size chosen for it ("<name>-hd"), open while such
    // a size is chosen.
    LargeFrame& Large() { return large_; }
    // Writes "test.png" from the current directory, scaled to 640 x 480 if needed. A missing or
    // undecodable file leaves the block as it is.
    bool WritePlaceholderFrame(const std::string& path = "test.png");
    // Removes the name (and the large frame) at exit, so the last picture does not outlive the
    // program. The descriptor stays valid for late writers.
    void Remove();

private:
    bool SizeIntact();

    std::string name_;
    int fd_ = -1;
    SharedFrameProblem problem_ = SharedFrameProblem::kMissing;
    LargeFrame large_;
};

// Reads frames for the preview, the virtual camera and the recorder. Opens the name for every
// copy, so it works whether or not the writer has started and follows a block that was
// re-created. A block that is not this user's own, or not one frame long, is never copied; one
// shrunk during a copy fails that copy.
class SharedFrameReader {
public:
    explicit SharedFrameReader(std::string name = SharedFrameName());
    SharedFrameReader(const SharedFrameReader&) = delete;
    SharedFrameReader& operator=(const SharedFrameReader&) = delete;

    // Copies the current frame (kFrameBytes) into `out`; false while no usable block exists.
    bool CopyFrame(uint8_t* out);
    // Why the last CopyFrame failed.
    SharedFrameProblem Problem() const { return problem_; }

private:
    std::string name_;
    SharedFrameProblem problem_ = SharedFrameProblem::kMissing;
};

}  // namespace zavreo
