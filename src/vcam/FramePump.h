#pragma once
// One tick of the virtual camera: read the shared frame, convert it, hand it to the writer.
// Without a shared frame (the main program not started, or restarting) it sends black, so
// clients keep receiving frames; a re-created block is picked up by the reader.
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

    FramePump(std::string sharedFrameName, uint32_t fourcc, Writer writer);

    // False when the writer failed (the device went away).
    bool Tick();

private:
    SharedFrameReader reader_;
    uint32_t fourcc_;
    Writer writer_;
    std::vector<uint8_t> frame_;
    std::vector<uint8_t> converted_;
};

}  // namespace zavreo
