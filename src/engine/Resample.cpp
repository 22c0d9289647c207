#include "Resample.h"

#include <algorithm>

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

}  // namespace EM
