#pragma once
// One tick of the virtual camera: read the picture to serve, convert it for the loopback device
// and hand it to the writer (when there is one); Frame() keeps it for the other outputs. The
// picture is the large frame while the main program keeps one (a large size chosen), else the
// shared frame. Without either (the main program not started, or restarting) it sends black, so
// clients keep receiving frames; a re-created block is picked up by the readers.
//
// Threads: the program's only thread.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "LargeFrame.h"
#include "SharedFrame.h"

namespace zavreo {

class FramePump {
public:
    using Writer = std::function<bool(const uint8_t* data, size_t bytes)>;
    // Asked to take frames of a new size; false when it keeps its own.
    using Resizer = std::function<bool(int width, int height)>;

    // Without a writer the frame is only read. The block is the one the program handed down,
    // else the one named `sharedFrameName`. The writer takes 640 x 480 frames until
    // SetWriterSize says otherwise.
    FramePump(std::string sharedFrameName, uint32_t fourcc, Writer writer);

    // The writer takes `width` x `height`. When the picture changes size, `resize` (if any) is
    // asked once to take the new size; frames are stretched to whatever the writer takes.
    void SetWriterSize(int width, int height, Resizer resize = nullptr);

    // False when the writer failed (the device went away).
    bool Tick();
    // The picture read by the last Tick, BGR, bottom row first, Width() x Height().
    const uint8_t* Frame() const { return frame_.data(); }
    int Width() const { return width_; }
    int Height() const { return height_; }
    // The same picture at another size (stretched when it differs), valid until the next Tick.
    const uint8_t* FrameAt(int width, int height);

private:
    void Read();

    SharedFrameReader reader_;
    LargeFrameReader large_;
    uint32_t fourcc_;
    Writer writer_;
    Resizer resize_;
    int writerWidth_ = kFrameWidth, writerHeight_ = kFrameHeight;
    bool resizeAsked_ = false;  // for the picture's size since it last changed
    std::vector<uint8_t> frame_;
    int width_ = kFrameWidth, height_ = kFrameHeight;
    std::vector<uint8_t> fitted_;  // FrameAt's stretched copy
    int fittedWidth_ = 0, fittedHeight_ = 0;
    std::vector<uint8_t> converted_;
};

}  // namespace zavreo
