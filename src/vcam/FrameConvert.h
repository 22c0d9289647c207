#pragma once
// Turns the shared frame (640 x 480 BGR, bottom row first), or the large frame (the same layout
// at its own size), into a frame of the loopback device's or the PipeWire reader's pixel format,
// top row first as cameras deliver. Colours use BT.601 limited range, the range webcams and their
// clients assume.

#include <cstddef>
#include <cstdint>

#include "SharedFrame.h"

namespace zavreo {

// True for the V4L2 pixel formats the converter writes: YUYV, UYVY, YU12 (I420), BGR3, RGB3 and
// XR24 (BGRx, bytes blue, green, red, padding).
bool SupportedPixelFormat(uint32_t fourcc);
// Bytes of one frame of that size in `fourcc`; 0 when unsupported. Sizes are even, at most
// as wide as the large frame's largest.
size_t ConvertedFrameBytes(uint32_t fourcc, int width = kFrameWidth, int height = kFrameHeight);
// Converts one frame into `out` (ConvertedFrameBytes bytes); false when unsupported.
bool ConvertSharedFrame(const uint8_t* bottomUpBgr, uint32_t fourcc, uint8_t* out,
                        int width = kFrameWidth, int height = kFrameHeight);

}  // namespace zavreo
