#include "SunFilter.h"

#include <immintrin.h>

#include <algorithm>
#include <cmath>
#include <cstring>

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
    // The light is smooth: on frames larger than the design frame one value serves a block of
    // pixels, so the map stays the design frame's size in memory, which each frame reads whole.
    factor_ =
        std::max(1, static_cast<int>(std::lround(static_cast<double>(height) / kDesignHeight)));
    const int mw = (width + factor_ - 1) / factor_, mh = (height + factor_ - 1) / factor_;
    // Room for the 16-byte loads of the last values.
    light_.assign(static_cast<size_t>(mw) * mh * 3 + 16, 0);
    spans_.assign(mh, {0, 0});
    rowLight_.assign(static_cast<size_t>(width) * 3, 0);
    const double reach = 1.0 * std::max(width, height);
    const bool left = type_ == 0 || type_ == 2;
    const bool right = type_ == 1 || type_ == 2;
    for (int my = 0; my < mh; ++my) {
        // Rows are stored bottom first; each value is the light at its block's centre.
        const double seenY = height - 1 - ((my + 0.5) * factor_ - 0.5);
        uint8_t* row = light_.data() + static_cast<size_t>(my) * mw * 3;
        int first = mw, last = 0;
        for (int mx = 0; mx < mw; ++mx) {
            const double x = (mx + 0.5) * factor_ - 0.5;
            const double a = left ? SunLight(x, seenY, -0.06 * width, -0.10 * height, reach) : 0.0;
            const double b = right ? SunLight(x, seenY, 1.06 * width, -0.10 * height, reach) : 0.0;
            const double light = 1.0 - (1.0 - a) * (1.0 - b);
            for (int c = 0; c < 3; ++c) {
                row[mx * 3 + c] = static_cast<uint8_t>(std::lround(light * kColour[c]));
            }
            if (row[mx * 3 + 2] != 0) {
                first = std::min(first, mx);
                last = mx + 1;
            }
        }
        spans_[my] = first < last ? std::make_pair(first, last) : std::make_pair(0, 0);
    }
}

void SunFilter::Prepare(int width, int height) {
    if (type_ != mapType_ || width != mapWidth_ || height != mapHeight_) {
        BuildLightMap(width, height);
    }
}

// Map row values [first, last) repeated `factor` times each, into the frame row's light.
void SunFilter::ExpandRow(const uint8_t* map, int first, int last, int width) {
    uint8_t* out = rowLight_.data();
    int mx = first;
    if (factor_ == 2) {
        // Four values to eight pixels a step, while the whole eight fit the row.
        const __m128i low = _mm_setr_epi8(0, 1, 2, 0, 1, 2, 3, 4, 5, 3, 4, 5, 6, 7, 8, 6);
        const __m128i high =
            _mm_setr_epi8(7, 8, 9, 10, 11, 9, 10, 11, -1, -1, -1, -1, -1, -1, -1, -1);
        for (; mx + 4 <= last && (mx + 4) * 2 <= width; mx += 4) {
            const __m128i values = _mm_loadu_si128(reinterpret_cast<const __m128i*>(map + mx * 3));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + mx * 6),
                             _mm_shuffle_epi8(values, low));
            _mm_storel_epi64(reinterpret_cast<__m128i*>(out + mx * 6 + 16),
                             _mm_shuffle_epi8(values, high));
        }
    }
    for (; mx < last; ++mx) {
        for (int x = mx * factor_; x < std::min((mx + 1) * factor_, width); ++x) {
            std::memcpy(out + x * 3, map + mx * 3, 3);
        }
    }
}

void SunFilter::Process(EffectImage& image) {
    Prepare(image.width, image.height);
    const int mw = (image.width + factor_ - 1) / factor_;
    int expanded = -1;  // the map row rowLight_ holds
    for (int y = 0; y < image.height; ++y) {
        const int my = y / factor_;
        const auto [mapFirst, mapLast] = spans_[my];
        const int first = mapFirst * factor_;
        const int last = std::min(mapLast * factor_, image.width);
        const uint8_t* map = light_.data() + (static_cast<size_t>(my) * mw) * 3;
        const uint8_t* __restrict l = map + first * 3;
        if (factor_ > 1) {
            if (my != expanded) {
                ExpandRow(map, mapFirst, mapLast, image.width);
                expanded = my;
            }
            l = rowLight_.data() + first * 3;
        }
        uint8_t* __restrict p = image.Row(y) + first * 3;
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
