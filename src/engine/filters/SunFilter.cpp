#include "SunFilter.h"

#include <algorithm>
#include <cmath>

namespace EM {
namespace {

constexpr double kColour[3] = {150.0, 215.0, 255.0};  // blue, green, red of the light

// Light of a sun just outside the picture at (sunX, sunY), coordinates as seen (y down), in 0..1:
// a broad falloff with faint rays fanning out from the source.
double SunLight(double x, double y, double sunX, double sunY, double reach) {
    const double dx = x - sunX;
    const double dy = y - sunY;
    const double distance = std::sqrt(dx * dx + dy * dy) / reach;
    if (distance >= 1.0) {
        return 0.0;
    }
    const double fall = std::pow(1.0 - distance, 1.6);
    const double angle = std::atan2(dy, dx);
    const double rays = 0.5 + 0.5 * std::cos(angle * 22.0);
    return fall * (0.75 + 0.25 * rays * rays);
}

}  // namespace

void SunFilter::OnParamsChanged() {
    type_ = IntParam("type", 0, 0, 2);
}

void SunFilter::BuildLightMap(int width, int height) {
    mapType_ = type_;
    mapWidth_ = width;
    mapHeight_ = height;
    light_.assign(static_cast<size_t>(width) * height * 3, 0);
    spans_.assign(height, {0, 0});
    const double reach = 1.0 * std::max(width, height);
    const bool left = type_ == 0 || type_ == 2;
    const bool right = type_ == 1 || type_ == 2;
    for (int y = 0; y < height; ++y) {
        const double seenY = height - 1 - y;  // rows are stored bottom first
        uint8_t* row = light_.data() + static_cast<size_t>(y) * width * 3;
        int first = width, last = 0;
        for (int x = 0; x < width; ++x) {
            const double a = left ? SunLight(x, seenY, -0.06 * width, -0.10 * height, reach) : 0.0;
            const double b = right ? SunLight(x, seenY, 1.06 * width, -0.10 * height, reach) : 0.0;
            const double light = 1.0 - (1.0 - a) * (1.0 - b);
            for (int c = 0; c < 3; ++c) {
                row[x * 3 + c] = static_cast<uint8_t>(std::lround(light * kColour[c]));
            }
            if (row[x * 3 + 2] != 0) {
                first = std::min(first, x);
                last = x + 1;
            }
        }
        spans_[y] = first < last ? std::make_pair(first, last) : std::make_pair(0, 0);
    }
}

void SunFilter::Prepare(int width, int height) {
    if (type_ != mapType_ || width != mapWidth_ || height != mapHeight_) {
        BuildLightMap(width, height);
    }
}

void SunFilter::Process(EffectImage& image) {
    Prepare(image.width, image.height);
    for (int y = 0; y < image.height; ++y) {
        const auto [first, last] = spans_[y];
        uint8_t* __restrict p = image.Row(y) + first * 3;
        const uint8_t* __restrict l =
            light_.data() + (static_cast<size_t>(y) * image.width + first) * 3;
        const int count = (last - first) * 3;
        for (int i = 0; i < count; ++i) {
            // Screen: a + (1 - a) * light. With t = x + 128, (t + t / 256) / 256 is x / 255
            // rounded, and everything stays in 16 bits.
            const uint16_t t = static_cast<uint16_t>((255 - p[i]) * l[i] + 128);
            p[i] = static_cast<uint8_t>(p[i] + ((t + (t >> 8)) >> 8));
        }
    }
}

}  // namespace EM
