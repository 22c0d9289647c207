#include "WhiterFilter.h"

#include <algorithm>
#include <cmath>

namespace EM {
namespace {

// The glow is computed at a quarter of the design frame's size, and at the same share of any
// larger frame: its cost follows the picture's proportions, not its pixels.
constexpr int kDesignFactor = 4;
constexpr int kMaxFactor = 8;  // what the box reduction takes
// The blur's reach in design-frame pixels, twice over; the running sums below hold 16 bits.
constexpr int kDesignBlurReach = 12;
constexpr int kMaxBlurRadius = 100;
constexpr double kGlowOpacity = 0.30;
constexpr int kMaxGlow = 77;  // 255 * kGlowOpacity

double Whiten(double x) {
    constexpr double kBase = 2.6;
    return std::log1p((kBase - 1.0) * x) / std::log(kBase);
}

uint32_t InverseWindow(int window) {
    return static_cast<uint32_t>((65536 + window / 2) / window);
}

// Running-sum box blur along each row of a packed BGR image; `line` holds a row with `radius`
// repeated edge pixels on both sides.
void BlurRows(uint8_t* image, int width, int height, int radius, uint8_t* line) {
    const int window = 2 * radius + 1;
    const uint32_t inverse = InverseWindow(window);
    for (int y = 0; y < height; ++y) {
        uint8_t* row = image + static_cast<size_t>(y) * width * 3;
        for (int i = 0; i < width + 2 * radius; ++i) {
            const int x = std::clamp(i - radius, 0, width - 1);
            line[i * 3] = row[x * 3];
            line[i * 3 + 1] = row[x * 3 + 1];
            line[i * 3 + 2] = row[x * 3 + 2];
        }
        uint32_t sum[3] = {0, 0, 0};
        for (int i = 0; i < window; ++i) {
            for (int c = 0; c < 3; ++c) {
                sum[c] += line[i * 3 + c];
            }
        }
        for (int x = 0; x < width; ++x) {
            for (int c = 0; c < 3; ++c) {
                row[x * 3 + c] = static_cast<uint8_t>((sum[c] * inverse + 32768) >> 16);
                sum[c] += line[(x + window) * 3 + c] - line[x * 3 + c];
            }
        }
    }
}

// The same down the columns, a whole row of sums at a time.
void BlurColumns(const uint8_t* src, uint8_t* dst, int width, int height, int radius,
                 uint16_t* sums) {
    const uint32_t inverse = InverseWindow(2 * radius + 1);
    const int count = width * 3;
    auto row = [&](int y) {
        return src + static_cast<size_t>(std::clamp(y, 0, height - 1)) * count;
    };
    std::fill(sums, sums + count, 0);
    for (int k = -radius; k <= radius; ++k) {
        const uint8_t* r = row(k);
        for (int i = 0; i < count; ++i) {
            sums[i] = static_cast<uint16_t>(sums[i] + r[i]);
        }
    }
    for (int y = 0; y < height; ++y) {
        uint8_t* out = dst + static_cast<size_t>(y) * count;
        const uint8_t* enter = row(y + radius + 1);
        const uint8_t* leave = row(y - radius);
        for (int i = 0; i < count; ++i) {
            out[i] = static_cast<uint8_t>((sums[i] * inverse + 32768) >> 16);
            sums[i] = static_cast<uint16_t>(sums[i] + enter[i] - leave[i]);
        }
    }
}

}  // namespace

WhiterFilter::WhiterFilter() {
    auto glow = [](double x) { return Whiten(x) * kGlowOpacity; };
    glow_ = ColorLut::FromCurves(glow, glow, glow);
    screen_.resize((kMaxGlow + 1) * 256);
    for (int g = 0; g <= kMaxGlow; ++g) {
        for (int v = 0; v < 256; ++v) {
            const double a = Whiten(v / 255.0);
            const double out = a + (1.0 - a) * g / 255.0;
            screen_[g * 256 + v] = static_cast<uint8_t>(std::lround(std::min(out, 1.0) * 255.0));
        }
    }
}

void WhiterFilter::Prepare(int width, int height) {
    if (width == width_ && height == height_) {
        return;
    }
    width_ = width;
    height_ = height;
    const double sizeScale = static_cast<double>(height) / kDesignHeight;
    factor_ = std::clamp(static_cast<int>(std::lround(kDesignFactor * sizeScale)), kDesignFactor,
                         kMaxFactor);
    blurRadius_ = std::clamp(static_cast<int>(std::lround(kDesignBlurReach * sizeScale / factor_)),
                             1, kMaxBlurRadius);
    lowWidth_ = ReducedSize(width, factor_);
    lowHeight_ = ReducedSize(height, factor_);
    low_.assign(static_cast<size_t>(lowWidth_) * lowHeight_ * 3, 0);
    lowScratch_.assign(low_.size(), 0);
    glowRow_.assign(static_cast<size_t>(lowWidth_) * 3, 0);
    // One spare pixel past the repeated edge: the running sum's last step reads it, unused.
    line_.assign(static_cast<size_t>(lowWidth_ + 2 * blurRadius_ + 1) * 3, 0);
    columnSums_.assign(static_cast<size_t>(lowWidth_) * 3, 0);
    downsampler_.Prepare(width, factor_);
}

void WhiterFilter::BlurLow() {
    for (int pass = 0; pass < 2; ++pass) {
        BlurRows(low_.data(), lowWidth_, lowHeight_, blurRadius_, line_.data());
        BlurColumns(low_.data(), lowScratch_.data(), lowWidth_, lowHeight_, blurRadius_,
                    columnSums_.data());
        low_.swap(lowScratch_);
    }
    for (size_t i = 0; i < low_.size(); i += 3) {
        low_[i] = glow_.blue[low_[i]];
        low_[i + 1] = glow_.green[low_[i + 1]];
        low_[i + 2] = glow_.red[low_[i + 2]];
    }
}

// The glow of full-size row y, one value per low column, interpolated between low rows.
void WhiterFilter::GlowRow(int y) {
    const double pos = std::clamp((y + 0.5) / factor_ - 0.5, 0.0, lowHeight_ - 1.0);
    const int r0 = static_cast<int>(pos);
    const int r1 = std::min(r0 + 1, lowHeight_ - 1);
    const int w = static_cast<int>((pos - r0) * 256.0);
    const uint8_t* __restrict a = low_.data() + static_cast<size_t>(r0) * lowWidth_ * 3;
    const uint8_t* __restrict b = low_.data() + static_cast<size_t>(r1) * lowWidth_ * 3;
    uint8_t* __restrict out = glowRow_.data();
    const int count = lowWidth_ * 3;
    for (int i = 0; i < count; ++i) {
        out[i] = static_cast<uint8_t>((a[i] * (256 - w) + b[i] * w + 128) >> 8);
    }
}

void WhiterFilter::Process(EffectImage& image) {
    Prepare(image.width, image.height);
    downsampler_.Run(image, factor_, low_.data(), lowWidth_ * 3);
    BlurLow();
    const uint8_t* screen = screen_.data();
    const int factor = factor_;
    const int groups = image.width / factor;
    for (int y = 0; y < image.height; ++y) {
        GlowRow(y);
        uint8_t* __restrict p = image.Row(y);
        const uint8_t* glow = glowRow_.data();
        // Whole groups of pixels sharing one glow: the lookups are what costs.
        for (int g = 0; g < groups; ++g, glow += 3) {
            const uint8_t* blue = screen + glow[0] * 256;
            const uint8_t* green = screen + glow[1] * 256;
            const uint8_t* red = screen + glow[2] * 256;
            for (int k = 0; k < factor; ++k, p += 3) {
                p[0] = blue[p[0]], p[1] = green[p[1]], p[2] = red[p[2]];
            }
        }
        for (int x = groups * factor; x < image.width; ++x, p += 3) {
            p[0] = screen[glow[0] * 256 + p[0]];
            p[1] = screen[glow[1] * 256 + p[1]];
            p[2] = screen[glow[2] * 256 + p[2]];
        }
    }
}

}  // namespace EM
