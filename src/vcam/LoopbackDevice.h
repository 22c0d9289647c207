#pragma once
// The v4l2loopback output node carrying the virtual camera, found by its card label.

#include <cstddef>
#include <cstdint>
#include <string>

namespace zavreo {

class LoopbackDevice {
public:
    ~LoopbackDevice();

    // Opens the output node labelled `label` (or `path` when given) and sets 640 x 480 frames,
    // keeping a pixel format the device insists on if the converter supports it. On failure
    // `error` says why.
    bool Open(const std::string& label, const std::string& path, std::string* error);
    uint32_t PixelFormat() const { return fourcc_; }
    const std::string& Path() const { return path_; }
    bool Write(const uint8_t* data, size_t bytes);

private:
    int fd_ = -1;
    uint32_t fourcc_ = 0;
    std::string path_;
};

}  // namespace zavreo
