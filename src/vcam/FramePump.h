#pragma once
// One tick of the virtual camera: read the shared frame, convert it for the loopback device and
// hand it to the writer (when there is one); Frame() keeps it for the other outputs. Without a
// shared frame (the main program not started, or restarting) it sends black, so clients keep
// receiving frames; a re-created block is picked up by the reader.
//
// Threads: the program's only thread.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "SharedFrame.h"

namespace zavreo {

class FramePump {
public:
    using Writer = std::function<bool(const uint8_t* data, size_t bytes)>;

    // Without a writer the frame is only read. The block is the one the program handed down,
    // else the one named `sharedFrameName`.
    FramePump(std::string sharedFrameName, uint32_t fourcc, Writer writer);

    // False when the writer failed (the device went away).
    bool Tick();
    // The shared frame as read by the last Tick (640 x 480 BGR, bottom row first).
    const uint8_t* Frame() const { return frame_.data(); }

private:
    SharedFrameReader reader_;
    uint32_t fourcc_;
    Writer writer_;
    std::vector<uint8_t> frame_;
    std::vector<uint8_t> converted_;
};

}  // namespace zavreo
