#include "ScaleFilter.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace EM {
namespace {

// Magnification of the source at the band's centre per unit of "scale"; with the falloff below
// a face of about a fifth of the width ends up 12 % narrower at -1.00.
constexpr double kStrength = 0.16;
constexpr double kBandHalfWidth = 0.36;  // of the picture's width

}  // namespace

void ScaleFilter::OnParamsChanged() {
    scale_ = DoubleParam("scale", 0.0, -1.0, 1.0);
}

void ScaleFilter::BuildMap(int width) {
    mapWidth_ = width;
    mapScale_ = scale_;
    const double centre = (width - 1) / 2.0;
    const double half = kBandHalfWidth * width;
    first_ = std::clamp(static_cast<int>(std::ceil(centre - half)), 0, width);
    last_ = std::clamp(static_cast<int>(std::floor(centre + half)) + 1, first_, width);
    sourceOffset_.resize(last_ - first_);
    weight_.resize(last_ - first_);
    rowCopy_.resize(static_cast<size_t>(width) * 3 + 3);
    // Source x = c + (x - c)(1 + k (1 - u^2)^2), u = (x - c) / half: smooth, monotonic for
    // |k| < 1.25, and the identity at the band's ends, so there is no seam.
    const double k = -kStrength * scale_;
    for (int x = first_; x < last_; ++x) {
        const double u = (x - centre) / half;
        const double falloff = std::max(0.0, 1.0 - u * u);
        double source = centre + (x - centre) * (1.0 + k * falloff * falloff);
        source = std::clamp(source, 0.0, width - 1.0);
        const int base = std::min(static_cast<int>(source), width - 1);
        sourceOffset_[x - first_] = base * 3;
        weight_[x - first_] = static_cast<uint16_t>(std::lround((source - base) * 256.0));
    }
}

void ScaleFilter::Process(EffectImage& image) {
    if (scale_ == 0.0) {
        return;
    }
    if (image.width != mapWidth_ || scale_ != mapScale_) {
        BuildMap(image.width);
    }
    const size_t rowBytes = static_cast<size_t>(image.width) * 3;
    uint8_t* copy = rowCopy_.data();
    for (int y = 0; y < image.height; ++y) {
        uint8_t* row = image.Row(y);
        std::memcpy(copy, row, rowBytes);
        std::memcpy(copy + rowBytes, row + rowBytes - 3, 3);  // right neighbour of the last pixel
        for (int x = first_; x < last_; ++x) {
            const uint8_t* left = copy + sourceOffset_[x - first_];
            const int w = weight_[x - first_];
            uint8_t* out = row + x * 3;
            for (int c = 0; c < 3; ++c) {
                out[c] = static_cast<uint8_t>((left[c] * (256 - w) + left[c + 3] * w + 128) >> 8);
            }
        }
    }
}

}  // namespace EM
