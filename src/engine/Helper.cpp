#include <algorithm>
#include <cstring>
#include <vector>

#include "EffectManager.h"
#include "ImageCodec.h"
#include "RowOps.h"

namespace EM::Helper {
namespace {

bool Valid(const EffectImage* image) {
    return image != nullptr && image->pixels != nullptr && image->width > 0 && image->height > 0 &&
           image->stride >= image->width * 3;
}

// Source position of each destination column or row in 16.16 fixed point, edge-clamped.
void SampleSteps(int srcSize, int dstSize, std::vector<int>& index, std::vector<int>& weight) {
    index.resize(dstSize);
    weight.resize(dstSize);
    const double scale = static_cast<double>(srcSize) / dstSize;
    for (int d = 0; d < dstSize; ++d) {
        double pos = (d + 0.5) * scale - 0.5;
        pos = std::clamp(pos, 0.0, static_cast<double>(srcSize - 1));
        int base = std::min(static_cast<int>(pos), srcSize - 1);
        index[d] = base;
        weight[d] = base + 1 < srcSize ? static_cast<int>((pos - base) * 256.0 + 0.5) : 0;
    }
}

// Bilinear scale of `src` into a `dstWidth` x `dstHeight` region starting at `dst`.
// Tables live per thread and only grow, so steady-state calls allocate nothing.
void ScaleInto(const EffectImage* src, uint8_t* dst, int dstStride, int dstWidth, int dstHeight) {
    thread_local std::vector<int> xIndex, xWeight, yIndex, yWeight;
    SampleSteps(src->width, dstWidth, xIndex, xWeight);
    SampleSteps(src->height, dstHeight, yIndex, yWeight);
    for (int y = 0; y < dstHeight; ++y) {
        const uint8_t* row0 = src->Row(yIndex[y]);
        const uint8_t* row1 = yWeight[y] ? src->Row(yIndex[y] + 1) : row0;
        const int wy = yWeight[y];
        uint8_t* out = dst + static_cast<ptrdiff_t>(y) * dstStride;
        for (int x = 0; x < dstWidth; ++x) {
            const int sx = xIndex[x] * 3;
            const int nx = xWeight[x] ? sx + 3 : sx;
            const int wx = xWeight[x];
            for (int c = 0; c < 3; ++c) {
                const int top = row0[sx + c] * (256 - wx) + row0[nx + c] * wx;
                const int bottom = row1[sx + c] * (256 - wx) + row1[nx + c] * wx;
                out[x * 3 + c] =
                    static_cast<uint8_t>((top * (256 - wy) + bottom * wy + 32768) >> 16);
            }
        }
    }
}

}  // namespace

EffectImage* NewImage(int width, int height) {
    if (width <= 0 || height <= 0) {
        return nullptr;
    }
    auto* image = new EffectImage;
    image->width = width;
    image->height = height;
    image->stride = width * 3;
    image->pixels = new uint8_t[image->Bytes()]();
    return image;
}

void FreeImage(EffectImage* image) {
    if (image != nullptr) {
        delete[] image->pixels;
        delete image;
    }
}

EffectImage* ReadImage(const std::string& path) {
    auto decoded = DecodeImageFile(path, 3);
    if (!decoded) {
        return nullptr;
    }
    EffectImage* image = NewImage(decoded->width, decoded->height);
    std::memcpy(image->pixels, decoded->pixels.data(), image->Bytes());
    return image;
}

bool Save(const EffectImage* image, const std::string& path) {
    return Valid(image) &&
           EncodeImageFile(path, image->pixels, image->width, image->height, image->stride);
}

bool Resize(const EffectImage* src, EffectImage* dst) {
    if (!Valid(src) || !Valid(dst)) {
        return false;
    }
    ScaleInto(src, dst->pixels, dst->stride, dst->width, dst->height);
    return true;
}

bool ResizeKeepRatio(const EffectImage* src, EffectImage* dst) {
    if (!Valid(src) || !Valid(dst)) {
        return false;
    }
    int width = dst->width;
    int height = static_cast<int>(static_cast<long long>(src->height) * width / src->width);
    if (height > dst->height) {
        height = dst->height;
        width = static_cast<int>(static_cast<long long>(src->width) * height / src->height);
    }
    width = std::max(width, 1);
    height = std::max(height, 1);
    for (int y = 0; y < dst->height; ++y) {
        std::memset(dst->Row(y), 0, static_cast<size_t>(dst->width) * 3);
    }
    const int left = (dst->width - width) / 2;
    const int top = (dst->height - height) / 2;
    ScaleInto(src, dst->Row(top) + left * 3, dst->stride, width, height);
    return true;
}

bool Hflip(EffectImage* image) {
    if (!Valid(image)) {
        return false;
    }
    std::vector<uint8_t> scratch(static_cast<size_t>(image->width) * 3);
    ReverseRowOrder(*image, scratch.data());
    return true;
}

}  // namespace EM::Helper
