#include <emmintrin.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "EffectManager.h"
#include "ImageCodec.h"
#include "RowOps.h"

namespace EM::Helper {
namespace {

bool Valid(const EffectImage* image) {
    return image != nullptr && image->pixels != nullptr && image->width > 0 && image->height > 0 &&
           image->stride >= int64_t{image->width} * 3;
}

// Source position of each destination column or row as an index and a weight in 1/256,
// edge-clamped.
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

// A column's weights as 16-bit lanes: left x 3, right x 3, 0, 0.
struct alignas(16) ColumnWeights {
    int16_t lanes[8];
};

// The sampling tables of one scale, kept per thread and rebuilt only when the sizes change, so
// steady-state calls allocate nothing.
struct ScaleTables {
    int srcWidth = 0, srcHeight = 0, dstWidth = 0, dstHeight = 0;
    std::vector<int> xIndex, xWeight, yIndex, yWeight;
    std::vector<int> xFirst;              // byte offset of the left source pixel of each column
    std::vector<ColumnWeights> xWeights;  // per column: left weight x 3, right weight x 3, 0, 0
    int wideColumns = 0;                  // leading columns whose 8-byte load stays inside the row
    std::vector<uint16_t> rows[2];        // source rows blended across, values x 256
    int rowOf[2] = {-1, -1};              // which source row each buffer holds

    void Prepare(int sw, int sh, int dw, int dh) {
        rowOf[0] = rowOf[1] = -1;
        if (sw == srcWidth && sh == srcHeight && dw == dstWidth && dh == dstHeight) {
            return;
        }
        srcWidth = sw, srcHeight = sh, dstWidth = dw, dstHeight = dh;
        SampleSteps(sw, dw, xIndex, xWeight);
        SampleSteps(sh, dh, yIndex, yWeight);
        xFirst.resize(dw);
        xWeights.resize(dw);
        wideColumns = 0;
        for (int x = 0; x < dw; ++x) {
            xFirst[x] = xIndex[x] * 3;
            const auto right = static_cast<int16_t>(xWeight[x]);
            const auto left = static_cast<int16_t>(256 - xWeight[x]);
            xWeights[x] = {{left, left, left, right, right, right, 0, 0}};
            if (xFirst[x] + 8 <= sw * 3) {
                wideColumns = x + 1;
            }
        }
        // One spare value: each wide column also writes the first value of the next.
        rows[0].resize(static_cast<size_t>(dw) * 3 + 1);
        rows[1].resize(static_cast<size_t>(dw) * 3 + 1);
    }
};

// One source row blended across, kept unrounded (at most 255 x 256): the bilinear sum has no
// rounding before the end, so each source row is blended across once and reused by every
// destination row that needs it. A column's two source pixels are neighbours, so one 8-byte load
// brings both; 16-bit products are exact at these sizes.
void BlendAcross(const uint8_t* __restrict src, const ScaleTables& t, uint16_t* __restrict out) {
    const int* first = t.xFirst.data();
    const ColumnWeights* weights = t.xWeights.data();
    const __m128i zero = _mm_setzero_si128();
    int x = 0;
    for (; x < t.wideColumns; ++x) {
        const __m128i pair = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(src + first[x]));
        const __m128i products =
            _mm_mullo_epi16(_mm_unpacklo_epi8(pair, zero),
                            _mm_load_si128(reinterpret_cast<const __m128i*>(weights[x].lanes)));
        const __m128i sum = _mm_add_epi16(products, _mm_srli_si128(products, 6));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + x * 3), sum);
    }
    // The last columns, where a wide load would read past the row.
    for (; x < t.dstWidth; ++x) {
        const uint8_t* a = src + first[x];
        const int wb = t.xWeight[x];
        const uint8_t* b = wb ? a + 3 : a;
        const int wa = 256 - wb;
        for (int c = 0; c < 3; ++c) {
            out[x * 3 + c] = static_cast<uint16_t>(a[c] * wa + b[c] * wb);
        }
    }
}

// Two blended rows blended down into the destination; contiguous, so it vectorises.
__attribute__((target_clones("avx2", "default"))) void BlendDown(const uint16_t* __restrict top,
                                                                 const uint16_t* __restrict bottom,
                                                                 int wy, uint8_t* __restrict out,
                                                                 int count) {
    const uint32_t wb = static_cast<uint32_t>(wy);
    const uint32_t wa = 256 - wb;
    for (int i = 0; i < count; ++i) {
        out[i] = static_cast<uint8_t>((top[i] * wa + bottom[i] * wb + 32768) >> 16);
    }
}

// The buffer holding source row `row` blended across; computed into the buffer that does not
// hold `keep` unless one already has it.
const uint16_t* BlendedRow(const EffectImage* src, ScaleTables& t, int row, int keep) {
    for (int i = 0; i < 2; ++i) {
        if (t.rowOf[i] == row) {
            return t.rows[i].data();
        }
    }
    const int slot = t.rowOf[0] == keep ? 1 : 0;
    BlendAcross(src->Row(row), t, t.rows[slot].data());
    t.rowOf[slot] = row;
    return t.rows[slot].data();
}

// Bilinear scale of `src` into a `dstWidth` x `dstHeight` region starting at `dst`.
void ScaleInto(const EffectImage* src, uint8_t* dst, int dstStride, int dstWidth, int dstHeight) {
    thread_local ScaleTables t;
    t.Prepare(src->width, src->height, dstWidth, dstHeight);
    for (int y = 0; y < dstHeight; ++y) {
        const int row = t.yIndex[y];
        const int wy = t.yWeight[y];
        const uint16_t* top = BlendedRow(src, t, row, row + 1);
        const uint16_t* bottom = wy ? BlendedRow(src, t, row + 1, row) : top;
        BlendDown(top, bottom, wy, dst + static_cast<ptrdiff_t>(y) * dstStride, dstWidth * 3);
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
