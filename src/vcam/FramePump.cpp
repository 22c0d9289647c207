#include "FramePump.h"

#include <algorithm>

#include "FrameConvert.h"

namespace zavreo {

FramePump::FramePump(std::string sharedFrameName, uint32_t fourcc, Writer writer)
    : reader_(SharedFrameReader::HandedDown(std::move(sharedFrameName))),
      fourcc_(fourcc),
      writer_(std::move(writer)),
      frame_(kFrameBytes),
      converted_(writer_ ? ConvertedFrameBytes(fourcc) : 0) {}

bool FramePump::Tick() {
    if (!reader_.CopyFrame(frame_.data())) {
        std::fill(frame_.begin(), frame_.end(), 0);
    }
    if (!writer_) {
        return true;
    }
    ConvertSharedFrame(frame_.data(), fourcc_, converted_.data());
    return writer_(converted_.data(), converted_.size());
}

}  // namespace zavreo
