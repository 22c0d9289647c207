#include "PreviewFrames.h"

#include <cstring>

namespace zavreo {

PreviewFrames::PreviewFrames(std::string sharedFrameName)
    : reader_(sharedFrameName), large_(LargeFrameName(sharedFrameName)) {}

PreviewFrames::PreviewFrames(const SharedFrame& output)
    : reader_(output), large_(LargeFrameName(output.WantedName())) {}

void PreviewFrames::Deliver(const uint8_t* pixels, int width, int height, int stride) {
    const size_t rowBytes = static_cast<size_t>(width) * 3;
    std::lock_guard lock(mutex_);
    delivered_.pixels.resize(rowBytes * height);
    for (int y = 0; y < height; ++y) {
        std::memcpy(delivered_.pixels.data() + rowBytes * y,
                    pixels + static_cast<ptrdiff_t>(stride) * y, rowBytes);
    }
    delivered_.width = delivered_.shownWidth = width;
    delivered_.height = delivered_.shownHeight = height;
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
            *picture = delivered_;
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
    LargeFrameLayout large;
    const bool stretched = large_.Peek(&large);
    picture->shownWidth = stretched ? large.width : kFrameWidth;
    picture->shownHeight = stretched ? large.height : kFrameHeight;
    return true;
}

}  // namespace zavreo
