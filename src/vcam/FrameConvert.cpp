#include "FrameConvert.h"

#include <linux/videodev2.h>

#include "LargeFrame.h"
#include "SharedFrame.h"

namespace zavreo {
namespace {

constexpr int kMaxWidth = kLargeFrameMaxWidth;

inline uint8_t Luma(int b, int g, int r) {
    return static_cast<uint8_t>(((66 * r + 129 * g + 25 * b + 128) >> 8) + 16);
}
inline uint8_t ChromaU(int b, int g, int r) {
    return static_cast<uint8_t>(((-38 * r - 74 * g + 112 * b + 128) >> 8) + 128);
}
inline uint8_t ChromaV(int b, int g, int r) {
    return static_cast<uint8_t>(((112 * r - 94 * g - 18 * b + 128) >> 8) + 128);
}

// One bottom-up BGR frame of any size up to the large frame's largest.
struct Frame {
    const uint8_t* pixels;
    int width;
    int height;
    // Row `y` as seen (0 = top).
    const uint8_t* RowAsSeen(int y) const {
        return pixels + static_cast<size_t>(height - 1 - y) * width * 3;
    }
};

// The row kernels are written so that the compiler vectorises them (planes first, then plain
// loops over them); the AVX2 copies are picked at run time.
struct RowPlanes {
    uint8_t b[kMaxWidth], g[kMaxWidth], r[kMaxWidth];
};

__attribute__((target_clones("avx2", "default"))) void SplitRow(const uint8_t* __restrict p,
                                                                int width,
                                                                RowPlanes* __restrict planes) {
    for (int x = 0; x < width; ++x) {
        planes->b[x] = p[3 * x];
        planes->g[x] = p[3 * x + 1];
        planes->r[x] = p[3 * x + 2];
    }
}

__attribute__((target_clones("avx2", "default"))) void Packed422Row(
    const RowPlanes* __restrict planes, int width, uint8_t* __restrict o, bool yFirst) {
    uint8_t luma[kMaxWidth], u[kMaxWidth / 2], v[kMaxWidth / 2];
    for (int x = 0; x < width; ++x) {
        luma[x] = Luma(planes->b[x], planes->g[x], planes->r[x]);
    }
    for (int x = 0; x < width / 2; ++x) {
        const int b = (planes->b[2 * x] + planes->b[2 * x + 1] + 1) >> 1;
        const int g = (planes->g[2 * x] + planes->g[2 * x + 1] + 1) >> 1;
        const int r = (planes->r[2 * x] + planes->r[2 * x + 1] + 1) >> 1;
        u[x] = ChromaU(b, g, r);
        v[x] = ChromaV(b, g, r);
    }
    for (int x = 0; x < width / 2; ++x) {
        o[4 * x] = yFirst ? luma[2 * x] : u[x];
        o[4 * x + 1] = yFirst ? u[x] : luma[2 * x];
        o[4 * x + 2] = yFirst ? luma[2 * x + 1] : v[x];
        o[4 * x + 3] = yFirst ? v[x] : luma[2 * x + 1];
    }
}

void ToPacked422(const Frame& frame, uint8_t* out, bool yFirst) {
    RowPlanes planes;
    for (int y = 0; y < frame.height; ++y) {
        SplitRow(frame.RowAsSeen(y), frame.width, &planes);
        Packed422Row(&planes, frame.width, out + static_cast<size_t>(y) * frame.width * 2, yFirst);
    }
}

__attribute__((target_clones("avx2", "default"))) void LumaRow(const uint8_t* __restrict p,
                                                               int width, uint8_t* __restrict o) {
    for (int x = 0; x < width; ++x, p += 3) {
        o[x] = Luma(p[0], p[1], p[2]);
    }
}

__attribute__((target_clones("avx2", "default"))) void ChromaRows(
    const RowPlanes* __restrict top, const RowPlanes* __restrict bottom, int width,
    uint8_t* __restrict u, uint8_t* __restrict v) {
    for (int x = 0; x < width / 2; ++x) {
        const int b =
            (top->b[2 * x] + top->b[2 * x + 1] + bottom->b[2 * x] + bottom->b[2 * x + 1] + 2) >> 2;
        const int g =
            (top->g[2 * x] + top->g[2 * x + 1] + bottom->g[2 * x] + bottom->g[2 * x + 1] + 2) >> 2;
        const int r =
            (top->r[2 * x] + top->r[2 * x + 1] + bottom->r[2 * x] + bottom->r[2 * x + 1] + 2) >> 2;
        u[x] = ChromaU(b, g, r);
        v[x] = ChromaV(b, g, r);
    }
}

void ToI420(const Frame& frame, uint8_t* out) {
    const int width = frame.width, height = frame.height;
    uint8_t* lumaPlane = out;
    uint8_t* uPlane = out + static_cast<size_t>(width) * height;
    uint8_t* vPlane = uPlane + static_cast<size_t>(width / 2) * (height / 2);
    for (int y = 0; y < height; ++y) {
        LumaRow(frame.RowAsSeen(y), width, lumaPlane + static_cast<size_t>(y) * width);
    }
    RowPlanes top, bottom;
    for (int y = 0; y < height / 2; ++y) {
        SplitRow(frame.RowAsSeen(2 * y), width, &top);
        SplitRow(frame.RowAsSeen(2 * y + 1), width, &bottom);
        ChromaRows(&top, &bottom, width, uPlane + static_cast<size_t>(y) * (width / 2),
                   vPlane + static_cast<size_t>(y) * (width / 2));
    }
}

__attribute__((target_clones("avx2", "default"))) void Rgb24Row(const uint8_t* __restrict p,
                                                                int width, uint8_t* __restrict o,
                                                                bool swap) {
    for (int x = 0; x < width; ++x, p += 3, o += 3) {
        o[0] = swap ? p[2] : p[0];
        o[1] = p[1];
        o[2] = swap ? p[0] : p[2];
    }
}

void ToRgb24(const Frame& frame, uint8_t* out, bool swap) {
    for (int y = 0; y < frame.height; ++y) {
        Rgb24Row(frame.RowAsSeen(y), frame.width, out + static_cast<size_t>(y) * frame.width * 3,
                 swap);
    }
}

// BGRx: the picture's own bytes, the padding byte opaque for readers that take it as alpha.
// Whole pixels as words, wherever the reader's buffer starts.
using PixelWord = uint32_t __attribute__((aligned(1), may_alias));

__attribute__((target_clones("avx2", "default"))) void BgrxRow(const RowPlanes* __restrict planes,
                                                               int width, uint8_t* __restrict o) {
    PixelWord* words = reinterpret_cast<PixelWord*>(o);
    for (int x = 0; x < width; ++x) {
        words[x] = planes->b[x] | planes->g[x] << 8 | planes->r[x] << 16 | 0xFF000000u;
    }
}

void ToBgrx(const Frame& frame, uint8_t* out) {
    RowPlanes planes;
    for (int y = 0; y < frame.height; ++y) {
        SplitRow(frame.RowAsSeen(y), frame.width, &planes);
        BgrxRow(&planes, frame.width, out + static_cast<size_t>(y) * frame.width * 4);
    }
}

bool SizeSupported(int width, int height) {
    return width > 0 && height > 0 && width % 2 == 0 && height % 2 == 0 && width <= kMaxWidth;
}

}  // namespace

bool SupportedPixelFormat(uint32_t fourcc) {
    return ConvertedFrameBytes(fourcc) != 0;
}

size_t ConvertedFrameBytes(uint32_t fourcc, int width, int height) {
    if (!SizeSupported(width, height)) {
        return 0;
    }
    const size_t pixels = static_cast<size_t>(width) * height;
    switch (fourcc) {
        case V4L2_PIX_FMT_YUYV:
        case V4L2_PIX_FMT_UYVY:
            return pixels * 2;
        case V4L2_PIX_FMT_YUV420:
            return pixels * 3 / 2;
        case V4L2_PIX_FMT_BGR24:
        case V4L2_PIX_FMT_RGB24:
            return pixels * 3;
        case V4L2_PIX_FMT_XBGR32:
            return pixels * 4;
        default:
            return 0;
    }
}

bool ConvertSharedFrame(const uint8_t* bottomUpBgr, uint32_t fourcc, uint8_t* out, int width,
                        int height) {
    if (!SizeSupported(width, height)) {
        return false;
    }
    const Frame frame{bottomUpBgr, width, height};
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
