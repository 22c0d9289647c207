#include "SkinSmoothing.h"

#include <immintrin.h>

#include <cmath>

namespace EM {
namespace {

// The colour cue. Chroma as offsets from the middle of the skin tones (Cb 103, Cr 158), turned
// onto the axis along which skin runs from pale (Cb 109, Cr 148) to ruddy (Cb 95, Cr 173) and the
// axis across it; the ellipse has half-axes of 20 levels along and 7 across, full weight out to
// 0.8 of them and none from 1.4.
constexpr int kCbMiddle = 103 - 128, kCrMiddle = 158 - 128;
constexpr int kFullInside = 164;  // 0.8^2 in 1/256
constexpr int kNoneFrom = 502;    // 1.4^2 in 1/256
constexpr int kColourSlope =
    (255 * 256 + (kNoneFrom - kFullInside) / 2) / (kNoneFrom - kFullInside);

// Texture cue: the mean over 7 x 7 of each pixel's deviation from its 3 x 3 mean, the deviation
// counted in ninths of a level and capped at 150 (about 17 levels): single strong edges such as
// the side of a nose or a smile line then count little beside the dense texture of hair. Full
// weight up to a mean of 5 levels, none from 8.
constexpr int kMostDeviation = 150;
constexpr int kCalm = 5 * 9 * 225, kBusy = 8 * 9 * 225;
constexpr int kCalmSlope = (255 * 65536 + (kBusy - kCalm) / 2) / (kBusy - kCalm);  // in 1/65536

// The cues combined are blurred over 3 x 3 and raised by 1.6, so that the middle of a face, where
// the colour blur has thinned the weight next to eyes, brows and nostrils, is fully skin again.
constexpr int kRaiseOverNine = 11651;  // 1.6 / 9 in 1/65536

// Weights below this are dropped, so that faint traces across the picture do not widen the part
// that has to be smoothed.
constexpr int kFaintest = 6;

// x / 255 rounded, for 0 <= x <= 255 * 255.
inline int Div255(int x) {
    return (x + 128 + ((x + 128) >> 8)) >> 8;
}

// Splits packed BGR into three planes, 16 pixels at a time with byte shuffles.
void Deinterleave(const uint8_t* bgr, size_t count, uint8_t* blue, uint8_t* green, uint8_t* red) {
    size_t i = 0;
    const __m128i b0 = _mm_setr_epi8(0, 3, 6, 9, 12, 15, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1);
    const __m128i b1 = _mm_setr_epi8(-1, -1, -1, -1, -1, -1, 2, 5, 8, 11, 14, -1, -1, -1, -1, -1);
    const __m128i b2 = _mm_setr_epi8(-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 1, 4, 7, 10, 13);
    const __m128i g0 = _mm_setr_epi8(1, 4, 7, 10, 13, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1);
    const __m128i g1 = _mm_setr_epi8(-1, -1, -1, -1, -1, 0, 3, 6, 9, 12, 15, -1, -1, -1, -1, -1);
    const __m128i g2 = _mm_setr_epi8(-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 2, 5, 8, 11, 14);
    const __m128i r0 = _mm_setr_epi8(2, 5, 8, 11, 14, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1);
    const __m128i r1 = _mm_setr_epi8(-1, -1, -1, -1, -1, 1, 4, 7, 10, 13, -1, -1, -1, -1, -1, -1);
    const __m128i r2 = _mm_setr_epi8(-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 0, 3, 6, 9, 12, 15);
    for (; i + 16 <= count; i += 16) {
        const uint8_t* p = bgr + i * 3;
        const __m128i a0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i a1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16));
        const __m128i a2 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 32));
        auto gather = [&](__m128i m0, __m128i m1, __m128i m2) {
            return _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(a0, m0), _mm_shuffle_epi8(a1, m1)),
                                _mm_shuffle_epi8(a2, m2));
        };
        _mm_storeu_si128(reinterpret_cast<__m128i*>(blue + i), gather(b0, b1, b2));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(green + i), gather(g0, g1, g2));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(red + i), gather(r0, r1, r2));
    }
    for (; i < count; ++i) {
        blue[i] = bgr[i * 3];
        green[i] = bgr[i * 3 + 1];
        red[i] = bgr[i * 3 + 2];
    }
}

__attribute__((target_clones("avx2", "default"))) void ColourAndLuma(
    const uint8_t* __restrict blue, const uint8_t* __restrict green, const uint8_t* __restrict red,
    size_t count, uint16_t* __restrict colour, uint16_t* __restrict luma) {
    for (size_t i = 0; i < count; ++i) {
        const int b = blue[i], g = green[i], r = red[i];
        luma[i] = static_cast<uint16_t>((29 * b + 150 * g + 77 * r + 128) >> 8);
        colour[i] = static_cast<uint16_t>(SkinWeights::ColourWeight(b, g, r));
    }
}

// detail = |9 luma - its 3 x 3 sum|, capped.
__attribute__((target_clones("avx2", "default"))) void Deviation(const uint16_t* __restrict luma,
                                                                 const uint16_t* __restrict sums,
                                                                 size_t count,
                                                                 uint16_t* __restrict detail) {
    for (size_t i = 0; i < count; ++i) {
        detail[i] =
            static_cast<uint16_t>(std::min(std::abs(9 * luma[i] - sums[i]), kMostDeviation));
    }
}

// weight = colour cue turned down by the texture sums.
__attribute__((target_clones("avx2", "default"))) void TextureCue(
    const uint16_t* __restrict colour, const uint16_t* __restrict texture, size_t count,
    uint16_t* __restrict weight) {
    for (size_t i = 0; i < count; ++i) {
        const int calm = std::clamp((kBusy - texture[i]) * kCalmSlope >> 16, 0, 255);
        weight[i] = static_cast<uint16_t>(Div255(colour[i] * calm));
    }
}

// Box sums of 25 back to their mean, rounded.
__attribute__((target_clones("avx2", "default"))) void MeanOf25(const uint16_t* __restrict sums,
                                                                size_t count,
                                                                uint16_t* __restrict out) {
    for (size_t i = 0; i < count; ++i) {
        out[i] = static_cast<uint16_t>((sums[i] * 2621u + 32768u) >> 16);
    }
}

// 3 x 3 sums to the raised, capped weights, the faint dropped.
__attribute__((target_clones("avx2", "default"))) void FinalWeights(const uint16_t* __restrict sums,
                                                                    size_t count,
                                                                    uint8_t* __restrict out) {
    for (size_t i = 0; i < count; ++i) {
        const int raised = std::min((sums[i] * kRaiseOverNine + 32768) >> 16, 255);
        out[i] = static_cast<uint8_t>(raised < kFaintest ? 0 : raised);
    }
}

__attribute__((target_clones("avx2", "default"))) void AddRow(uint16_t* __restrict sum,
                                                              const uint16_t* __restrict row,
                                                              int count) {
    for (int i = 0; i < count; ++i) {
        sum[i] = static_cast<uint16_t>(sum[i] + row[i]);
    }
}

// out[x] = line[x] + ... + line[x + taps - 1], taps 3 or 5.
__attribute__((target_clones("avx2", "default"))) void SumAcross(const uint16_t* __restrict line,
                                                                 int count, int taps,
                                                                 uint16_t* __restrict out) {
    if (taps == 3) {
        for (int x = 0; x < count; ++x) {
            out[x] = static_cast<uint16_t>(line[x] + line[x + 1] + line[x + 2]);
        }
        return;
    }
    for (int x = 0; x < count; ++x) {
        out[x] =
            static_cast<uint16_t>(line[x] + line[x + 1] + line[x + 2] + line[x + 3] + line[x + 4]);
    }
}

}  // namespace

SmoothingStrength SmoothingForLevel(int level) {
    const double t = std::clamp(level, 0, 30) / 30.0;
    return {3.0 + 3.0 * t, 100.0 + 60.0 * t, 0.30 + 0.70 * t};
}

double DomainTransformFeedback(double sigmaSpace, int iteration) {
    const int n = kDomainTransformIterations;
    const double sigma = sigmaSpace * std::sqrt(3.0) * std::pow(2.0, n - (iteration + 1)) /
                         std::sqrt(std::pow(4.0, n) - 1.0);
    return std::exp(-std::sqrt(2.0) / sigma);
}

int SkinWeights::ColourWeight(int blue, int green, int red) {
    const int luma = (29 * blue + 150 * green + 77 * red + 128) >> 8;
    const int cb = (128 * blue - 85 * green - 43 * red - (kCbMiddle << 8)) >> 8;
    const int cr = (-21 * blue - 107 * green + 128 * red - (kCrMiddle << 8)) >> 8;
    // Unit vectors (-0.49, 0.87) and (0.87, 0.49) in 1/256.
    const int along = (-125 * cb + 223 * cr) >> 8;
    const int across = (223 * cb + 125 * cr) >> 8;
    // (along / 20)^2 + (across / 7)^2 in 1/256.
    const int distance = ((along * along * 41) >> 6) + ((across * across * 1337) >> 8);
    const int colour = std::clamp((kNoneFrom - distance) * kColourSlope >> 8, 0, 255);
    // Deep shadow carries no reliable colour: none below luma 30, full from 70.
    const int shadow = std::clamp((luma - 30) * 51 >> 3, 0, 255);
    return Div255(colour * shadow);
}

void SkinWeights::Prepare(int width, int height) {
    if (width == width_ && height == height_) {
        return;
    }
    width_ = width;
    height_ = height;
    const size_t pixels = static_cast<size_t>(width) * height;
    planes_.assign(pixels * 3, 0);
    colour_.assign(pixels, 0);
    luma_.assign(pixels, 0);
    sums_.assign(pixels, 0);
    detail_.assign(pixels, 0);
    line_.assign(static_cast<size_t>(width) + 4, 0);
    weights_.assign(pixels, 0);
}

void SkinWeights::BoxSum(const uint16_t* in, uint16_t* out, int radius) {
    const int w = width_, h = height_;
    for (int y = 0; y < h; ++y) {
        uint16_t* row = out + static_cast<size_t>(y) * w;
        std::copy_n(in + static_cast<size_t>(std::clamp(y - radius, 0, h - 1)) * w, w, row);
        for (int k = -radius + 1; k <= radius; ++k) {
            AddRow(row, in + static_cast<size_t>(std::clamp(y + k, 0, h - 1)) * w, w);
        }
        uint16_t* line = line_.data();
        std::fill_n(line, radius, row[0]);
        std::copy_n(row, w, line + radius);
        std::fill_n(line + radius + w, radius, row[w - 1]);
        SumAcross(line, w, 2 * radius + 1, row);
    }
}

void SkinWeights::Compute(const uint8_t* bgr, int width, int height) {
    Prepare(width, height);
    const size_t pixels = static_cast<size_t>(width) * height;
    uint8_t* blue = planes_.data();
    Deinterleave(bgr, pixels, blue, blue + pixels, blue + 2 * pixels);
    ColourAndLuma(blue, blue + pixels, blue + 2 * pixels, pixels, colour_.data(), luma_.data());
    BoxSum(luma_.data(), sums_.data(), 1);
    Deviation(luma_.data(), sums_.data(), pixels, detail_.data());
    uint16_t* texture = luma_.data();  // luma is not needed any more
    BoxSum(detail_.data(), sums_.data(), 1);
    BoxSum(sums_.data(), texture, 2);
    // The colour cue blurred twice over 5 x 5, then turned down where the texture is busy: the
    // texture sums are smooth already, and eyes keep their zero weight instead of being blurred
    // into by the cheeks around them.
    uint16_t* blurred = detail_.data();
    BoxSum(colour_.data(), sums_.data(), 2);
    MeanOf25(sums_.data(), pixels, blurred);
    BoxSum(blurred, sums_.data(), 2);
    MeanOf25(sums_.data(), pixels, blurred);
    TextureCue(blurred, texture, pixels, colour_.data());
    BoxSum(colour_.data(), sums_.data(), 1);
    FinalWeights(sums_.data(), pixels, weights_.data());
}

SkinBlend::SkinBlend(const SmoothingStrength& strength) {
    // Full share up to a quarter of the range sigma, none from 62.5 %.
    none_ = std::clamp(static_cast<int>(std::lround(0.625 * strength.sigmaRange)), 0, 128);
    const double fade = std::max(1.0, 0.375 * strength.sigmaRange);
    // Bounded so that (none - difference) * slope fits a 16-bit lane.
    slope_ = std::clamp(static_cast<int>(std::lround(255.0 / fade)), 1, 100);
    blend_ = static_cast<int>(std::lround(std::clamp(strength.blend, 0.0, 1.0) * 256.0));
}

}  // namespace EM
