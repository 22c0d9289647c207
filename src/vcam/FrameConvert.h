#pragma once
// Turns the shared frame (640 x 480 BGR, bottom row first) into a frame of the loopback device's
// or the PipeWire reader's pixel format, top row first as cameras deliver. Colours use BT.601
// limited range, the range webcams and their clients assume.

#include <cstddef>
#include <cstdint>

namespace zavreo {

// True for the V4L2 pixel formats the converter writes: YUYV, UYVY, YU12 (I420), BGR3, RGB3 and
// XR24 (BGRx, bytes blue, green, red, padding).
bool SupportedPixelFormat(uint32_t fourcc);
// Bytes of one 640 x 480 frame in `fourcc`; 0 when unsupported.
size_t ConvertedFrameBytes(uint32_t fourcc);
// Converts one shared frame into `out` (ConvertedFrameBytes(fourcc) bytes); false when
// unsupported.
bool ConvertSharedFrame(const uint8_t* bottomUpBgr, uint32_t fourcc, uint8_t* out);

}  // namespace zavreo
