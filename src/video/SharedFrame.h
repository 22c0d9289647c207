#pragma once
// The program's output picture: one 640 x 480 BGR frame, bottom row first, in the POSIX shared
// memory object "/MYSHARE" (mode 0600, no header, no lock). The virtual camera reads it.

#include <cstddef>
#include <cstdint>
#include <string>

namespace zavreo {

constexpr int kFrameWidth = 640;
constexpr int kFrameHeight = 480;
constexpr int kFrameStride = kFrameWidth * 3;
constexpr size_t kFrameBytes = static_cast<size_t>(kFrameStride) * kFrameHeight;  // 921600

// "/MYSHARE", or the name in ZAVREO_SHARED_FRAME (tests and side-by-side runs use their own).
std::string SharedFrameName();

// Read-write mapping, created when missing. Written by the streaming thread (camera frames) and
// the interface thread (placeholder, still pictures); readers accept torn frames.
class SharedFrame {
public:
    explicit SharedFrame(std::string name = SharedFrameName());
    ~SharedFrame();
    SharedFrame(const SharedFrame&) = delete;
    SharedFrame& operator=(const SharedFrame&) = delete;

    bool IsOpen() const { return data_ != nullptr; }
    const std::string& Name() const { return name_; }
    // Copies one whole frame in the block's layout.
    void Write(const uint8_t* frame);
    // Writes "test.png" from the current directory, scaled to 640 x 480 if needed. A missing or
    // undecodable file leaves the block as it is.
    bool WritePlaceholderFrame(const std::string& path = "test.png");

private:
    std::string name_;
    uint8_t* data_ = nullptr;
};

// Read-only view for the preview, the virtual camera and the recorder. Opens lazily, so it works
// whether or not the writer has started, and follows a block that was re-created.
class SharedFrameReader {
public:
    explicit SharedFrameReader(std::string name = SharedFrameName());
    ~SharedFrameReader();
    SharedFrameReader(const SharedFrameReader&) = delete;
    SharedFrameReader& operator=(const SharedFrameReader&) = delete;

    // Copies the current frame (kFrameBytes) into `out`; false while no block exists.
    bool CopyFrame(uint8_t* out);

private:
    bool Open();
    void Close();
    bool Replaced() const;

    std::string name_;
    const uint8_t* data_ = nullptr;
    unsigned long inode_ = 0;
};

}  // namespace zavreo
