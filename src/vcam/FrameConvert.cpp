#include "FrameConvert.h"

#include <linux/videodev2.h>

#include "SharedFrame.h"

namespace zavreo {
namespace {

constexpr int kWidth = kFrameWidth;
constexpr int kHeight = kFrameHeight;

inline uint8_t Luma(int b, int g, int r) {
    return static_cast<uint8_t>(((66 * r + 129 * g + 25 * b + 128) >> 8) + 16);
}
inline uint8_t ChromaU(int b, int g, int r) {
    return static_cast<uint8_t>(((-38 * r - 74 * g + 112 * b + 128) >> 8) + 128);
}
inline uint8_t ChromaV(int b, int g, int r) {
    return static_cast<uint8_t>(((112 * r - 94 * g - 18 * b + 128) >> 8) + 128);
}

// Row `y` as seen (0 = top) of the bottom-up frame.
inline const uint8_t* RowAsSeen(const uint8_t* frame, int y) {
    return frame + static_cast<size_t>(kHeight - 1 - y) * kFrameStride;
}

void ToPacked422(const uint8_t* frame, uint8_t* out, bool yFirst) {
    for (int y = 0; y < kHeight; ++y) {
        const uint8_t* p = RowAsSeen(frame, y);
        uint8_t* o = out + static_cast<size_t>(y) * kWidth * 2;
        for (int x = 0; x < kWidth; x += 2, p += 6, o += 4) {
            const int b = (p[0] + p[3] + 1) / 2, g = (p[1] + p[4] + 1) / 2,
                      r = (p[2] + p[5] + 1) / 2;
            const uint8_t y0 = Luma(p[0], p[1], p[2]), y1 = Luma(p[3], p[4], p[5]);
            const uint8_t u = ChromaU(b, g, r), v = ChromaV(b, g, r);
            if (yFirst) {
                o[0] = y0, o[1] = u, o[2] = y1, o[3] = v;
            } else {
                o[0] = u, o[1] = y0, o[2] = v, o[3] = y1;
            }
        }
    }
}

void ToI420(const uint8_t* frame, uint8_t* out) {
    uint8_t* lumaPlane = out;
    uint8_t* uPlane = out + kWidth * kHeight;
    uint8_t* vPlane = uPlane + (kWidth / 2) * (kHeight / 2);
    for (int y = 0; y < kHeight; ++y) {
        const uint8_t* p = RowAsSeen(frame, y);
        for (int x = 0; x < kWidth; ++x) {
            lumaPlane[y * kWidth + x] = Luma(p[x * 3], p[x * 3 + 1], p[x * 3 + 2]);
        }
    }
    for (int y = 0; y < kHeight / 2; ++y) {
        const uint8_t* top = RowAsSeen(frame, 2 * y);
        const uint8_t* bottom = RowAsSeen(frame, 2 * y + 1);
        for (int x = 0; x < kWidth / 2; ++x) {
            int sum[3] = {0, 0, 0};
            for (int c = 0; c < 3; ++c) {
                sum[c] =
                    top[x * 6 + c] + top[x * 6 + 3 + c] + bottom[x * 6 + c] + bottom[x * 6 + 3 + c];
            }
            const int b = (sum[0] + 2) / 4, g = (sum[1] + 2) / 4, r = (sum[2] + 2) / 4;
            uPlane[y * (kWidth / 2) + x] = ChromaU(b, g, r);
            vPlane[y * (kWidth / 2) + x] = ChromaV(b, g, r);
        }
    }
}

void ToRgb24(const uint8_t* frame, uint8_t* out, bool swap) {
    for (int y = 0; y < kHeight; ++y) {
        const uint8_t* p = RowAsSeen(frame, y);
        uint8_t* o = out + static_cast<size_t>(y) * kFrameStride;
        for (int x = 0; x < kWidth * 3; x += 3) {
            o[x] = p[swap ? x + 2 : x];
            o[x + 1] = p[x + 1];
            o[x + 2] = p[swap ? x : x + 2];
        }
    }
}

// BGRx: the picture's own bytes, the padding byte opaque for readers that take it as alpha.
void ToBgrx(const uint8_t* frame, uint8_t* out) {
    for (int y = 0; y < kHeight; ++y) {
        const uint8_t* p = RowAsSeen(frame, y);
        uint8_t* o = out + static_cast<size_t>(y) * kWidth * 4;
        for (int x = 0; x < kWidth; ++x, p += 3, o += 4) {
            o[0] = p[0], o[1] = p[1], o[2] = p[2], o[3] = 255;
        }
    }
}

}  // namespace

bool SupportedPixelFormat(uint32_t fourcc) {
    return ConvertedFrameBytes(fourcc) != 0;
}

size_t ConvertedFrameBytes(uint32_t fourcc) {
    switch (fourcc) {
        case V4L2_PIX_FMT_YUYV:
        case V4L2_PIX_FMT_UYVY:
            return static_cast<size_t>(kWidth) * kHeight * 2;
        case V4L2_PIX_FMT_YUV420:
            return static_cast<size_t>(kWidth) * kHeight * 3 / 2;
        case V4L2_PIX_FMT_BGR24:
        case V4L2_PIX_FMT_RGB24:
            return kFrameBytes;
        case V4L2_PIX_FMT_XBGR32:
            return static_cast<size_t>(kWidth) * kHeight * 4;
        default:
            return 0;
    }
}

bool ConvertSharedFrame(const uint8_t* frame, uint32_t fourcc, uint8_t* out) {
    switch (fourcc) {
        case V4L2_PIX_FMT_YUYV:
            ToPacked422(frame, out, true);
            return true;
        case V4L2_PIX_FMT_UYVY:
            ToPacked422(frame, out, false);
            return true;
        case V4L2_PIX_FMT_YUV420:
            ToI420(frame, out);
            return true;
        case V4L2_PIX_FMT_BGR24:
            ToRgb24(frame, out, false);
            return true;
        case V4L2_PIX_FMT_RGB24:
            ToRgb24(frame, out, true);
            return true;
        case V4L2_PIX_FMT_XBGR32:
            ToBgrx(frame, out);
            return true;
        default:
            return false;
    }
}

}  // namespace zavreo
