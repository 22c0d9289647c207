#pragma once
// What the preview area shows: the frames of the preview graph while it reads the virtual
// camera's device, otherwise the shared frame itself (the same picture, the placeholder when no
// source runs).
//
// Threads: Deliver runs on the preview graph's streaming thread, everything else on the
// interface thread; the lock guards the delivered frame.

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "SharedFrame.h"

namespace zavreo {

struct PreviewPicture {
    std::vector<uint8_t> pixels;  // BGR, 3 bytes a pixel, rows back to back
    int width = 0;
    int height = 0;
    bool bottomUp = false;
};

class PreviewFrames {
public:
    explicit PreviewFrames(std::string sharedFrameName = SharedFrameName());
    // Reads `output`'s block, whatever its name comes to point at.
    explicit PreviewFrames(const SharedFrame& output);

    // A frame of the device (top row first, `stride` bytes a row).
    void Deliver(const uint8_t* pixels, int width, int height, int stride);
    // Back to the shared frame; nothing delivered earlier is shown again.
    void ShowSharedFrame();

    // The picture to show now; false when there is none.
    bool Copy(PreviewPicture* picture);

private:
    mutable std::mutex mutex_;
    bool deviceFrames_ = false;
    PreviewPicture delivered_;
    SharedFrameReader reader_;
};

}  // namespace zavreo
