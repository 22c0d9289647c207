#include "FramePump.h"

#include <algorithm>

#include "EffectManager.h"
#include "FrameConvert.h"

namespace zavreo {

FramePump::FramePump(std::string sharedFrameName, uint32_t fourcc, Writer writer)
    : reader_(SharedFrameReader::HandedDown(sharedFrameName)),
      large_(LargeFrameName(sharedFrameName)),
      fourcc_(fourcc),
      writer_(std::move(writer)),
      frame_(kFrameBytes) {}

void FramePump::SetWriterSize(int width, int height, Resizer resize) {
    writerWidth_ = width;
    writerHeight_ = height;
    resize_ = std::move(resize);
}

void FramePump::Read() {
    fittedWidth_ = fittedHeight_ = 0;
    LargeFrameLayout layout;
    if (large_.Read(&frame_, &layout)) {
        width_ = layout.width;
        height_ = layout.height;
        return;
    }
    width_ = kFrameWidth;
    height_ = kFrameHeight;
    frame_.resize(kFrameBytes);
    if (!reader_.CopyFrame(frame_.data())) {
        std::fill(frame_.begin(), frame_.end(), 0);
    }
}

const uint8_t* FramePump::FrameAt(int width, int height) {
    if (width == width_ && height == height_) {
        return frame_.data();
    }
    if (width != fittedWidth_ || height != fittedHeight_) {
        fitted_.resize(static_cast<size_t>(width) * height * 3);
        EM::EffectImage from, to;
        from.pixels = frame_.data();
        from.width = width_, from.height = height_, from.stride = width_ * 3;
        to.pixels = fitted_.data();
        to.width = width, to.height = height, to.stride = width * 3;
        EM::Helper::Resize(&from, &to);
        fittedWidth_ = width;
        fittedHeight_ = height;
    }
    return fitted_.data();
}

bool FramePump::Tick() {
    const int lastWidth = width_, lastHeight = height_;
    Read();
    if (!writer_) {
        return true;
    }
    if (width_ != lastWidth || height_ != lastHeight) {
        resizeAsked_ = false;
    }
    if (resize_ && !resizeAsked_ && (width_ != writerWidth_ || height_ != writerHeight_)) {
        resizeAsked_ = true;
        if (resize_(width_, height_)) {
            writerWidth_ = width_;
            writerHeight_ = height_;
        }
    }
    converted_.resize(ConvertedFrameBytes(fourcc_, writerWidth_, writerHeight_));
    ConvertSharedFrame(FrameAt(writerWidth_, writerHeight_), fourcc_, converted_.data(),
                       writerWidth_, writerHeight_);
    return writer_(converted_.data(), converted_.size());
}

}  // namespace zavreo
