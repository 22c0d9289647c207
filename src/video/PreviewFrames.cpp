#include "PreviewFrames.h"

#include <cstring>

namespace zavreo {

PreviewFrames::PreviewFrames(std::string sharedFrameName) : reader_(std::move(sharedFrameName)) {}

PreviewFrames::PreviewFrames(const SharedFrame& output) : reader_(output) {}

void PreviewFrames::Deliver(const uint8_t* pixels, int width, int height, int stride) {
    const size_t rowBytes = static_cast<size_t>(width) * 3;
    std::lock_guard lock(mutex_);
    delivered_.pixels.resize(rowBytes * height);
    for (int y = 0; y < height; ++y) {
        std::memcpy(delivered_.pixels.data() + rowBytes * y,
                    pixels + static_cast<ptrdiff_t>(stride) * y, rowBytes);
    }
    delivered_.width = width;
    delivered_.height = height;
    delivered_.bottomUp = false;
    deviceFrames_ = true;
}

void PreviewFrames::ShowSharedFrame() {
    std::lock_guard lock(mutex_);
    deviceFrames_ = false;
    delivered_.width = delivered_.height = 0;
}

bool PreviewFrames::Copy(PreviewPicture* picture) {
    {
        std::lock_guard lock(mutex_);
        if (deviceFrames_) {
            if (delivered_.width == 0) {
                return false;
            }
            picture->pixels.assign(delivered_.pixels.begin(), delivered_.pixels.end());
            picture->width = delivered_.width;
            picture->height = delivered_.height;
            picture->bottomUp = false;
            return true;
        }
    }
    picture->pixels.resize(kFrameBytes);
    if (!reader_.CopyFrame(picture->pixels.data())) {
        return false;
    }
    picture->width = kFrameWidth;
    picture->height = kFrameHeight;
    picture->bottomUp = true;
    return true;
}

}  // namespace zavreo
