#pragma once
// The v4l2loopback output node carrying the virtual camera, found by its card label.

#include <cstddef>
#include <cstdint>
#include <string>

#include "SharedFrame.h"

namespace zavreo {

class LoopbackDevice {
public:
    ~LoopbackDevice();

    // Opens the output node labelled `label` (or `path` when given) and sets frames of
    // `width` x `height`, keeping a pixel format the device insists on if the converter
    // supports it. On failure `error` says why.
    bool Open(const std::string& label, const std::string& path, std::string* error,
              int width = kFrameWidth, int height = kFrameHeight);
    // Asks for frames of another size; false when the device keeps its own (a reader holds it).
    bool SetSize(int width, int height);
    uint32_t PixelFormat() const { return fourcc_; }
    int Width() const { return width_; }
    int Height() const { return height_; }
    const std::string& Path() const { return path_; }
    bool Write(const uint8_t* data, size_t bytes);

private:
    int fd_ = -1;
    uint32_t fourcc_ = 0;
    int width_ = 0, height_ = 0;
    std::string path_;
};

}  // namespace zavreo
