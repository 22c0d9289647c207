#pragma once
// Scaling between a frame and a low-resolution working copy, for filters that compute a smooth
// base at reduced size. Scratch buffers are sized on the first frame and reused after that.

#include <cstdint>
#include <vector>

#include "EffectManager.h"

namespace EM {

// Size of a side after reduction by `factor`; a partial block at the edge counts as one.
inline int ReducedSize(int size, int factor) {
    return (size + factor - 1) / factor;
}

// Averages factor x factor blocks of a BGR image (edge pixels repeated to fill partial blocks).
class BoxDownsampler {
public:
    // `factor` is 2 or 4; `out` holds ReducedSize rows of ReducedSize(width) BGR pixels.
    void Run(const EffectImage& image, int factor, uint8_t* out, int outStride);

private:
    std::vector<uint16_t> columnSums_;
};

// Bilinear enlargement of a packed low-resolution image, one output row at a time, with pixel
// centres aligned as in Helper::Resize.
class BilinearUpsampler {
public:
    // `channels` is 3 or 4.
    void Configure(int lowWidth, int lowHeight, int width, int height, int channels);
    // Columns [xBegin, xEnd) of output row `y` (same row order as `low`) into `out`, which
    // holds width * channels bytes.
    void Row(const uint8_t* low, int lowStride, int y, uint8_t* out, int xBegin, int xEnd);
    void Row(const uint8_t* low, int lowStride, int y, uint8_t* out) {
        Row(low, lowStride, y, out, 0, width_);
    }

private:
    int lowWidth_ = 0, lowHeight_ = 0, width_ = 0, height_ = 0, channels_ = 0;
    std::vector<int> xOffset_;  // byte offset of the left sample in the low row
    std::vector<uint16_t> xWeight_, yWeight_;
    std::vector<int> yIndex_;
    std::vector<uint16_t> blended_;  // one low row after the vertical step, plus a repeated pixel
};

}  // namespace EM
