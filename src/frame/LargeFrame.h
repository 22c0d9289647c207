#pragma once
// The virtual camera's picture at a larger size the user chose for it (1280 x 720), beside the
// 640 x 480 shared frame, which stays as it is for everyone else who reads it. A POSIX shared
// memory object named after the shared frame and the user ("<shared frame>-<uid>-hd": nobody
// else reads it, so each user of the machine has one of their own), mode 0600,
// written and read through the descriptor (pwrite/pread), never mapped, like the shared frame.
// It exists only while such a size is chosen: without it, readers take the shared frame.
//
// Layout: a 64-byte header, then the frame's rows.
//
//   offset  size  field
//        0     8  "ZVLARGE1"
//        8     4  header bytes (64)
//       12     4  width
//       16     4  height
//       20     4  stride: bytes from one row to the next (width * 3)
//       24     4  pixel format, a V4L2 fourcc: 'BGR3' (3 bytes a pixel: blue, green, red)
//       28     4  flags: 1 = the first row is the bottom one
//       32     4  frames a second the picture's source delivers (0: not known)
//       36     4  reserved, 0
//       40     8  sequence: odd while a frame is being written, one more when it is done
//       48    16  reserved, 0
//
// Numbers are in the machine's own byte order (writer and readers share the machine).

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace zavreo {

// This user's block that goes with the shared frame wanted at `sharedFrameName` (whether or not
// the program had to write its shared frame under a name of its own).
std::string LargeFrameName(const std::string& sharedFrameName);

struct LargeFrameLayout {
    int width = 0;
    int height = 0;
    int fps = 0;
    uint64_t sequence = 0;
    size_t Bytes() const { return static_cast<size_t>(width) * 3 * height; }
};

inline constexpr size_t kLargeFrameHeaderBytes = 64;
inline constexpr int kLargeFrameMaxWidth = 3840;
inline constexpr int kLargeFrameMaxHeight = 2160;

// The writer. Threads: Open and Close run on the interface thread; frames are written by the
// capture's streaming thread (camera frames) and the interface thread (placeholder, still
// pictures). One lock serialises them, so a frame is never written by two at once.
class LargeFrame {
public:
    explicit LargeFrame(std::string name);
    ~LargeFrame();
    LargeFrame(const LargeFrame&) = delete;
    LargeFrame& operator=(const LargeFrame&) = delete;

    // Creates the block for frames of this size (or takes over this user's own from an earlier
    // run), its header written and its picture black; false when the name belongs to someone else
    // or the size is out of range.
    bool Open(int width, int height, int fps);
    // Removes the block; readers go back to the shared frame.
    void Close();
    bool IsOpen() const;
    const std::string& Name() const { return name_; }

    // One whole frame of the block's size, BGR, bottom row first.
    void Write(const uint8_t* bottomUpBgr);
    // A 640 x 480 frame (the placeholder, a still picture) stretched to the block's size.
    void WriteScaled(const uint8_t* bottomUpBgr, int width, int height);

private:
    void WriteLocked(const uint8_t* bottomUpBgr);
    bool WriteHeader();

    const std::string name_;
    mutable std::mutex mutex_;
    int fd_ = -1;
    LargeFrameLayout layout_;
    std::vector<uint8_t> scaled_;  // WriteScaled's picture, sized by Open
};

// Reads the block for the virtual camera and the preview (one thread each). Opens the name for
// every read, so it follows a block that was removed or made again. A block that is not this user's
// own, or whose header does not match its size, is never read.
class LargeFrameReader {
public:
    explicit LargeFrameReader(std::string name);

    // The block's layout without its picture; false while there is no usable block.
    bool Peek(LargeFrameLayout* layout) const;
    // Copies the current frame (bottom row first) into `pixels`, resized to it; false while there
    // is no usable block. A frame being written is waited for briefly; if it stays unfinished,
    // `pixels` keeps the last whole frame of that size read into it.
    bool Read(std::vector<uint8_t>* pixels, LargeFrameLayout* layout);

private:
    int OpenChecked(LargeFrameLayout* layout) const;

    std::string name_;
    std::vector<uint8_t> scratch_;  // the frame being read, until it is known whole
};

}  // namespace zavreo
