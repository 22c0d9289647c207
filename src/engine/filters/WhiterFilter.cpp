#include "WhiterFilter.h"

#include <algorithm>
#include <cmath>

namespace EM {
namespace {

constexpr int kFactor = 4;
constexpr int kBlurRadius = 3;  // in low-resolution pixels, twice over
constexpr double kGlowOpacity = 0.30;

// Running-sum box blur along one axis of a packed BGR image; `step` is the distance in bytes
// between neighbours, `count` their number, `lines` and `lineStep` walk the other axis.
void BoxBlurLines(const uint8_t* src, uint8_t* dst, int count, int step, int lines, int lineStep) {
    constexpr int kWindow = 2 * kBlurRadius + 1;
    for (int line = 0; line < lines; ++line) {
        for (int c = 0; c < 3; ++c) {
            const uint8_t* in = src + static_cast<ptrdiff_t>(line) * lineStep + c;
            uint8_t* out = dst + static_cast<ptrdiff_t>(line) * lineStep + c;
            auto at = [&](int i) { return in[std::clamp(i, 0, count - 1) * step]; };
            int sum = 0;
            for (int i = -kBlurRadius; i <= kBlurRadius; ++i) {
                sum += at(i);
            }
            for (int i = 0; i < count; ++i) {
                out[i * step] = static_cast<uint8_t>((sum + kWindow / 2) / kWindow);
                sum += at(i + kBlurRadius + 1) - at(i - kBlurRadius);
            }
        }
    }
}

}  // namespace

WhiterFilter::WhiterFilter() {
    const double base = 2.6;
    auto whiten = [base](double x) { return std::log1p((base - 1.0) * x) / std::log(base); };
    whiten_ = ColorLut::FromCurves(whiten, whiten, whiten);
    auto glow = [&](double x) { return whiten(x) * kGlowOpacity; };
    glow_ = ColorLut::FromCurves(glow, glow, glow);
}

void WhiterFilter::Prepare(int width, int height) {
    width_ = width;
    height_ = height;
    lowWidth_ = ReducedSize(width, kFactor);
    lowHeight_ = ReducedSize(height, kFactor);
    low_.assign(static_cast<size_t>(lowWidth_) * lowHeight_ * 3, 0);
    lowScratch_.assign(low_.size(), 0);
    glowRow_.assign(static_cast<size_t>(width) * 3, 0);
    upsampler_.Configure(lowWidth_, lowHeight_, width, height, 3);
}

void WhiterFilter::BlurLow() {
    const int stride = lowWidth_ * 3;
    for (int pass = 0; pass < 2; ++pass) {
        BoxBlurLines(low_.data(), lowScratch_.data(), lowWidth_, 3, lowHeight_, stride);
        BoxBlurLines(lowScratch_.data(), low_.data(), lowHeight_, stride, lowWidth_, 3);
    }
    for (size_t i = 0; i < low_.size(); i += 3) {
        low_[i] = glow_.blue[low_[i]];
        low_[i + 1] = glow_.green[low_[i + 1]];
        low_[i + 2] = glow_.red[low_[i + 2]];
    }
}

void WhiterFilter::Process(EffectImage& image) {
    if (image.width != width_ || image.height != height_) {
        Prepare(image.width, image.height);
    }
    const int lowStride = lowWidth_ * 3;
    downsampler_.Run(image, kFactor, low_.data(), lowStride);
    BlurLow();
    for (int y = 0; y < image.height; ++y) {
        upsampler_.Row(low_.data(), lowStride, y, glowRow_.data());
        uint8_t* p = image.Row(y);
        const uint8_t* glow = glowRow_.data();
        for (int x = 0; x < image.width * 3; x += 3) {
            const int b = whiten_.blue[p[x]];
            const int g = whiten_.green[p[x + 1]];
            const int r = whiten_.red[p[x + 2]];
            // Screen blend: a + (1 - a) * glow, with / 255 done as * 257 >> 16.
            p[x] = static_cast<uint8_t>(b + ((((255 - b) * glow[x] + 128) * 257) >> 16));
            p[x + 1] = static_cast<uint8_t>(g + ((((255 - g) * glow[x + 1] + 128) * 257) >> 16));
            p[x + 2] = static_cast<uint8_t>(r + ((((255 - r) * glow[x + 2] + 128) * 257) >> 16));
        }
    }
}

}  // namespace EM
