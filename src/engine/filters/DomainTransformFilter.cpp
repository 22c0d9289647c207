#include "DomainTransformFilter.h"

#include <immintrin.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace EM {
namespace {

constexpr int kFactor = 2;

// Recursive filter down the columns of a rows x cols plane, forth and back; weights[y * cols + x]
// couples row y with row y - 1. Rows are independent lanes, so the inner loops vectorise.
__attribute__((target_clones("arch=haswell", "default"))) void RecursiveDown(float* plane,
                                                                             const float* weights,
                                                                             int rows, int cols) {
    for (int y = 1; y < rows; ++y) {
        float* __restrict row = plane + static_cast<ptrdiff_t>(y) * cols;
        const float* __restrict prev = row - cols;
        const float* __restrict w = weights + static_cast<ptrdiff_t>(y) * cols;
        for (int x = 0; x < cols; ++x) {
            row[x] += w[x] * (prev[x] - row[x]);
        }
    }
    for (int y = rows - 2; y >= 0; --y) {
        float* __restrict row = plane + static_cast<ptrdiff_t>(y) * cols;
        const float* __restrict next = row + cols;
        const float* __restrict w = weights + static_cast<ptrdiff_t>(y + 1) * cols;
        for (int x = 0; x < cols; ++x) {
            row[x] += w[x] * (next[x] - row[x]);
        }
    }
}

// dst (cols x rows) = transpose of src (rows x cols), in 4 x 4 blocks.
void Transpose(const float* src, int rows, int cols, float* dst) {
    const int rows4 = rows & ~3;
    const int cols4 = cols & ~3;
    for (int y = 0; y < rows4; y += 4) {
        const float* s = src + static_cast<ptrdiff_t>(y) * cols;
        for (int x = 0; x < cols4; x += 4) {
            __m128 r0 = _mm_loadu_ps(s + x);
            __m128 r1 = _mm_loadu_ps(s + cols + x);
            __m128 r2 = _mm_loadu_ps(s + 2 * cols + x);
            __m128 r3 = _mm_loadu_ps(s + 3 * cols + x);
            _MM_TRANSPOSE4_PS(r0, r1, r2, r3);
            float* d = dst + static_cast<ptrdiff_t>(x) * rows + y;
            _mm_storeu_ps(d, r0);
            _mm_storeu_ps(d + rows, r1);
            _mm_storeu_ps(d + 2 * rows, r2);
            _mm_storeu_ps(d + 3 * rows, r3);
        }
        for (int x = cols4; x < cols; ++x) {
            for (int k = 0; k < 4; ++k) {
                dst[static_cast<ptrdiff_t>(x) * rows + y + k] = s[k * cols + x];
            }
        }
    }
    for (int y = rows4; y < rows; ++y) {
        for (int x = 0; x < cols; ++x) {
            dst[static_cast<ptrdiff_t>(x) * rows + y] = src[static_cast<ptrdiff_t>(y) * cols + x];
        }
    }
}

int Spread(const uint8_t* a, const uint8_t* b) {
    return std::abs(a[0] - b[0]) + std::abs(a[1] - b[1]) + std::abs(a[2] - b[2]);
}

}  // namespace

void DomainTransformFilter::OnParamsChanged() {
    level_ = IntParam("level", 15, 0, 30);
    const SmoothingStrength strength = SmoothingForLevel(level_);
    blend_.emplace(strength);
    // At half size both the spatial sigma and the pixel spacing halve; the range sigma stays.
    const double sigmaSpace = strength.sigmaSpace / kFactor;
    const double ratio = sigmaSpace / strength.sigmaRange;
    for (int i = 0; i < kDomainTransformIterations; ++i) {
        const double logA = std::log(DomainTransformFeedback(sigmaSpace, i));
        for (int spread = 0; spread <= kMaxSpread; ++spread) {
            feedback_[i][spread] = static_cast<float>(std::exp(logA * (1.0 + ratio * spread)));
        }
    }
}

void DomainTransformFilter::Prepare(int width, int height) {
    width_ = width;
    height_ = height;
    lowWidth_ = ReducedSize(width, kFactor);
    lowHeight_ = ReducedSize(height, kFactor);
    const size_t lowPixels = static_cast<size_t>(lowWidth_) * lowHeight_;
    low_.assign(lowPixels * 3, 0);
    planes_.assign(lowPixels * 3, 0.0f);
    transposed_.assign(lowPixels, 0.0f);
    spreadAcross_.assign(lowPixels, 0);
    spreadDown_.assign(lowPixels, 0);
    weights_.assign(lowPixels * 2 * kDomainTransformIterations, 0.0f);
    base_.assign(lowPixels * 4, 0);
    skinSpans_.assign(lowHeight_, {0, 0});
    baseRow_.assign(static_cast<size_t>(width) * 4, 0);
    upsampler_.Configure(lowWidth_, lowHeight_, width, height, 4);
}

// Half-size planes, the spreads between neighbours and each iteration's weights.
void DomainTransformFilter::LoadLowResolution() {
    const int lw = lowWidth_, lh = lowHeight_;
    const size_t pixels = static_cast<size_t>(lw) * lh;
    float* blue = planes_.data();
    float* green = blue + pixels;
    float* red = green + pixels;
    for (int y = 0; y < lh; ++y) {
        const uint8_t* row = low_.data() + static_cast<size_t>(y) * lw * 3;
        const uint8_t* above = y > 0 ? row - lw * 3 : row;
        for (int x = 0; x < lw; ++x) {
            const size_t i = static_cast<size_t>(y) * lw + x;
            const uint8_t* p = row + x * 3;
            blue[i] = p[0];
            green[i] = p[1];
            red[i] = p[2];
            spreadAcross_[static_cast<size_t>(x) * lh + y] =
                static_cast<uint16_t>(x > 0 ? Spread(p, p - 3) : 0);
            spreadDown_[i] = static_cast<uint16_t>(Spread(p, above + x * 3));
        }
    }
    for (int it = 0; it < kDomainTransformIterations; ++it) {
        const float* table = feedback_[it].data();
        float* across = weights_.data() + pixels * 2 * it;
        float* down = across + pixels;
        for (size_t i = 0; i < pixels; ++i) {
            across[i] = table[spreadAcross_[i]];
            down[i] = table[spreadDown_[i]];
        }
    }
}

// Three iterations, each along the rows (as columns of the transposed plane) then the columns.
void DomainTransformFilter::SmoothPlane(float* plane) {
    const int lw = lowWidth_, lh = lowHeight_;
    const size_t pixels = static_cast<size_t>(lw) * lh;
    for (int it = 0; it < kDomainTransformIterations; ++it) {
        const float* across = weights_.data() + pixels * 2 * it;
        const float* down = across + pixels;
        Transpose(plane, lh, lw, transposed_.data());
        RecursiveDown(transposed_.data(), across, lw, lh);
        Transpose(transposed_.data(), lw, lh, plane);
        RecursiveDown(plane, down, lh, lw);
    }
}

// Packs the smooth base with the skin weight of the half-size picture and notes, per row,
// where skin is at all, so the full-size pass can skip everything else.
void DomainTransformFilter::StoreSmoothBase() {
    const int lw = lowWidth_, lh = lowHeight_;
    const size_t pixels = static_cast<size_t>(lw) * lh;
    const SkinTone& skin = SkinTone::Get();
    for (int y = 0; y < lh; ++y) {
        int first = lw, last = 0;
        for (int x = 0; x < lw; ++x) {
            const size_t i = static_cast<size_t>(y) * lw + x;
            uint8_t* out = base_.data() + i * 4;
            for (int c = 0; c < 3; ++c) {
                const float v = planes_[c * pixels + i];
                out[c] = static_cast<uint8_t>(std::clamp(v + 0.5f, 0.0f, 255.0f));
            }
            const uint8_t* p = low_.data() + i * 3;
            out[3] = skin.Weight(p[0], p[1], p[2]);
            if (out[3] != 0) {
                first = std::min(first, x);
                last = x + 1;
            }
        }
        skinSpans_[y] = {first, last};
    }
}

void DomainTransformFilter::BlendBack(EffectImage& image) {
    const int lw = lowWidth_, lh = lowHeight_;
    for (int y = 0; y < image.height; ++y) {
        // The enlarged row draws on half-size rows around y / 2 and columns one beyond.
        const int ly = y / kFactor;
        int first = lw, last = 0;
        for (int r = std::max(ly - 1, 0); r <= std::min(ly + 1, lh - 1); ++r) {
            first = std::min(first, skinSpans_[r].first);
            last = std::max(last, skinSpans_[r].second);
        }
        if (first >= last) {
            continue;
        }
        const int xBegin = std::max((first - 1) * kFactor, 0);
        const int xEnd = std::min((last + 1) * kFactor, image.width);
        upsampler_.Row(base_.data(), lw * 4, y, baseRow_.data(), xBegin, xEnd);
        uint8_t* row = image.Row(y);
        for (int x = xBegin; x < xEnd; ++x) {
            const uint8_t* base = baseRow_.data() + x * 4;
            if (base[3] != 0) {
                blend_->Apply(row + x * 3, base, base[3]);
            }
        }
    }
}

void DomainTransformFilter::Process(EffectImage& image) {
    if (level_ == 0) {
        return;
    }
    if (image.width != width_ || image.height != height_) {
        Prepare(image.width, image.height);
    }
    downsampler_.Run(image, kFactor, low_.data(), lowWidth_ * 3);
    LoadLowResolution();
    const size_t pixels = static_cast<size_t>(lowWidth_) * lowHeight_;
    for (int c = 0; c < 3; ++c) {
        SmoothPlane(planes_.data() + c * pixels);
    }
    StoreSmoothBase();
    BlendBack(image);
}

}  // namespace EM
