#include "Resample.h"

#include <algorithm>
#include <cmath>

namespace EM {
namespace {

template <int F>
void DownsampleRows(const EffectImage& image, uint8_t* out, int outStride, uint16_t* sums) {
    constexpr int kShift = F == 2 ? 2 : 4;
    const int width = image.width;
    const int lowWidth = ReducedSize(width, F);
    const int lowHeight = ReducedSize(image.height, F);
    for (int ly = 0; ly < lowHeight; ++ly) {
        const uint8_t* first = image.Row(std::min(ly * F, image.height - 1));
        for (int i = 0; i < width * 3; ++i) {
            sums[i] = first[i];
        }
        for (int dy = 1; dy < F; ++dy) {
            const uint8_t* row = image.Row(std::min(ly * F + dy, image.height - 1));
            for (int i = 0; i < width * 3; ++i) {
                sums[i] = static_cast<uint16_t>(sums[i] + row[i]);
            }
        }
        // Repeat the last column so a partial block at the right edge reads valid sums.
        for (int i = width * 3; i < lowWidth * F * 3; ++i) {
            sums[i] = sums[i - 3];
        }
        uint8_t* dst = out + static_cast<ptrdiff_t>(ly) * outStride;
        for (int lx = 0; lx < lowWidth; ++lx) {
            const uint16_t* s = sums + lx * F * 3;
            for (int c = 0; c < 3; ++c) {
                int total = 0;
                for (int dx = 0; dx < F; ++dx) {
                    total += s[dx * 3 + c];
                }
                dst[lx * 3 + c] = static_cast<uint8_t>((total + (1 << (kShift - 1))) >> kShift);
            }
        }
    }
}

}  // namespace

void BoxDownsampler::Run(const EffectImage& image, int factor, uint8_t* out, int outStride) {
    const size_t needed = static_cast<size_t>(ReducedSize(image.width, factor)) * factor * 3;
    if (columnSums_.size() < needed) {
        columnSums_.resize(needed);
    }
    if (factor == 4) {
        DownsampleRows<4>(image, out, outStride, columnSums_.data());
    } else {
        DownsampleRows<2>(image, out, outStride, columnSums_.data());
    }
}

void BilinearUpsampler::Configure(int lowWidth, int lowHeight, int width, int height,
                                  int channels) {
    lowWidth_ = lowWidth;
    lowHeight_ = lowHeight;
    width_ = width;
    height_ = height;
    channels_ = channels;
    auto steps = [](int lowSize, int size, std::vector<int>& index, std::vector<uint16_t>& weight) {
        index.resize(size);
        weight.resize(size);
        const double scale = static_cast<double>(lowSize) / size;
        for (int d = 0; d < size; ++d) {
            const double pos = std::clamp((d + 0.5) * scale - 0.5, 0.0, lowSize - 1.0);
            const int base = std::min(static_cast<int>(pos), lowSize - 1);
            index[d] = base;
            weight[d] = static_cast<uint16_t>(std::lround((pos - base) * 256.0));
        }
    };
    steps(lowWidth, width, xOffset_, xWeight_);
    for (int& offset : xOffset_) {
        offset *= channels;
    }
    steps(lowHeight, height, yIndex_, yWeight_);
    blended_.assign(static_cast<size_t>(lowWidth + 1) * channels, 0);
}

namespace {

template <int C>
void Enlarge(const uint16_t* blended, const int* xOffset, const uint16_t* xWeight, int xBegin,
             int xEnd, uint8_t* out) {
    for (int x = xBegin; x < xEnd; ++x) {
        const uint16_t* left = blended + xOffset[x];
        const uint32_t wx = xWeight[x];
        for (int c = 0; c < C; ++c) {
            const uint32_t value = left[c] * (256 - wx) + left[c + C] * wx;
            out[x * C + c] = static_cast<uint8_t>((value + 32768) >> 16);
        }
    }
}

}  // namespace

void BilinearUpsampler::Row(const uint8_t* low, int lowStride, int y, uint8_t* out, int xBegin,
                            int xEnd) {
    const int index = yIndex_[y];
    const uint8_t* r0 = low + static_cast<ptrdiff_t>(index) * lowStride;
    const uint8_t* r1 = index + 1 < lowHeight_ ? r0 + lowStride : r0;
    const int wy = yWeight_[y];
    const int count = lowWidth_ * channels_;
    uint16_t* blended = blended_.data();
    for (int i = 0; i < count; ++i) {
        blended[i] = static_cast<uint16_t>(r0[i] * (256 - wy) + r1[i] * wy);
    }
    for (int c = 0; c < channels_; ++c) {
        blended[count + c] = blended[count - channels_ + c];
    }
    if (channels_ == 4) {
        Enlarge<4>(blended, xOffset_.data(), xWeight_.data(), xBegin, xEnd, out);
    } else {
        Enlarge<3>(blended, xOffset_.data(), xWeight_.data(), xBegin, xEnd, out);
    }
}

}  // namespace EM
