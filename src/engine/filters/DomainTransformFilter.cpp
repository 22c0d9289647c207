#include "DomainTransformFilter.h"

#include <smmintrin.h>
#include <tmmintrin.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace EM {
namespace {

constexpr int kFactor = 2;

// Recursive filter down the columns of a rows x cols plane, forth and back; weights[y * cols + x]
// couples row y with row y - 1. Rows are independent lanes, so the inner loops vectorise.
__attribute__((target_clones("avx2", "default"))) void RecursiveDown(float* plane,
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

// dst (cols x rows) = transpose of src (rows x cols): 4 x 4 blocks in registers, walked in
// 32 x 32 tiles so that the written lines stay in the first-level cache.
void Transpose(const float* src, int rows, int cols, float* dst) {
    constexpr int kTile = 32;
    const int rows4 = rows & ~3;
    const int cols4 = cols & ~3;
    for (int ty = 0; ty < rows4; ty += kTile) {
        const int yEnd = std::min(ty + kTile, rows4);
        for (int tx = 0; tx < cols4; tx += kTile) {
            const int xEnd = std::min(tx + kTile, cols4);
            for (int y = ty; y < yEnd; y += 4) {
                const float* s = src + static_cast<ptrdiff_t>(y) * cols;
                for (int x = tx; x < xEnd; x += 4) {
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
            }
        }
    }
    // The last rows and columns that do not fill a block.
    for (int y = 0; y < rows; ++y) {
        for (int x = y < rows4 ? cols4 : 0; x < cols; ++x) {
            dst[static_cast<ptrdiff_t>(x) * rows + y] = src[static_cast<ptrdiff_t>(y) * cols + x];
        }
    }
}

__attribute__((target_clones("avx2", "default"))) void Square(float* values, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        values[i] *= values[i];
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
    const double logA = std::log(DomainTransformFeedback(sigmaSpace, 0));
    for (int spread = 0; spread <= kMaxSpread; ++spread) {
        feedback_[spread] = static_cast<float>(std::exp(logA * (1.0 + ratio * spread)));
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
    weights_.assign(lowPixels * 2, 0.0f);
    base_.assign(lowPixels * 4, 0);
    skinSpans_.assign(lowHeight_, {0, 0});
    rowSums_.assign(static_cast<size_t>(lowWidth_ + 2) * 4, 0);
}

// Half-size planes, the skin weights, and the first iteration's weights from the spreads
// between neighbours.
void DomainTransformFilter::LoadLowResolution() {
    const int lw = lowWidth_, lh = lowHeight_;
    const size_t pixels = static_cast<size_t>(lw) * lh;
    float* blue = planes_.data();
    float* green = blue + pixels;
    float* red = green + pixels;
    float* across = weights_.data();
    float* down = across + pixels;
    const float* table = feedback_.data();
    const SkinTone& skin = SkinTone::Get();
    for (int y = 0; y < lh; ++y) {
        const uint8_t* row = low_.data() + static_cast<size_t>(y) * lw * 3;
        const uint8_t* above = y > 0 ? row - lw * 3 : row;
        int first = lw, last = 0;
        for (int x = 0; x < lw; ++x) {
            const size_t i = static_cast<size_t>(y) * lw + x;
            const uint8_t* p = row + x * 3;
            blue[i] = p[0];
            green[i] = p[1];
            red[i] = p[2];
            across[i] = table[x > 0 ? Spread(p, p - 3) : 0];
            down[i] = table[Spread(p, above + x * 3)];
            const uint8_t weight = skin.Weight(p[0], p[1], p[2]);
            base_[i * 4 + 3] = weight;
            if (weight != 0) {
                first = std::min(first, x);
                last = x + 1;
            }
        }
        skinSpans_[y] = {first, last};
    }
    // Along the rows the filter runs on the transposed plane.
    Transpose(across, lh, lw, transposed_.data());
    std::copy(transposed_.begin(), transposed_.end(), across);
}

// Three iterations, each along the rows (as columns of the transposed planes) then the columns.
// Each iteration halves the kernel, which squares every weight.
void DomainTransformFilter::Smooth() {
    const int lw = lowWidth_, lh = lowHeight_;
    const size_t pixels = static_cast<size_t>(lw) * lh;
    float* across = weights_.data();
    float* down = across + pixels;
    for (int it = 0; it < kDomainTransformIterations; ++it) {
        if (it > 0) {
            Square(weights_.data(), pixels * 2);
        }
        for (int c = 0; c < 3; ++c) {
            float* plane = planes_.data() + c * pixels;
            Transpose(plane, lh, lw, transposed_.data());
            RecursiveDown(transposed_.data(), across, lw, lh);
            Transpose(transposed_.data(), lw, lh, plane);
            RecursiveDown(plane, down, lh, lw);
        }
    }
}

void DomainTransformFilter::StoreSmoothBase() {
    const size_t pixels = static_cast<size_t>(lowWidth_) * lowHeight_;
    for (int c = 0; c < 3; ++c) {
        const float* plane = planes_.data() + c * pixels;
        uint8_t* out = base_.data() + c;
        for (size_t i = 0; i < pixels; ++i) {
            out[i * 4] = static_cast<uint8_t>(std::clamp(plane[i] + 0.5f, 0.0f, 255.0f));
        }
    }
}

// Vertical half of the 2x enlargement for full-size row y: 3 x the nearer half-size row plus the
// other one, with a repeated pixel at each end of `rowSums_`.
void DomainTransformFilter::SumRows(int y) {
    const int count = lowWidth_ * 4;
    const int nearer = std::min(y / kFactor, lowHeight_ - 1);
    const int other = std::clamp(y % 2 ? nearer + 1 : nearer - 1, 0, lowHeight_ - 1);
    const uint8_t* __restrict a = base_.data() + static_cast<size_t>(nearer) * count;
    const uint8_t* __restrict b = base_.data() + static_cast<size_t>(other) * count;
    uint16_t* __restrict sums = rowSums_.data() + 4;
    for (int i = 0; i < count; ++i) {
        sums[i] = static_cast<uint16_t>(3 * a[i] + b[i]);
    }
    for (int c = 0; c < 4; ++c) {
        sums[c - 4] = sums[c];
        sums[count + c] = sums[count - 4 + c];
    }
}

// Full-size pixels [x, x + 4) of a row, x even: the enlarged base laid over them, 16-bit lanes.
void DomainTransformFilter::BlendFour(const uint16_t* sums, int x, uint8_t* pixels) const {
    const __m128i eight = _mm_set1_epi16(8);
    const uint16_t* v = sums + (x / 2) * 4;
    const __m128i here = _mm_loadu_si128(reinterpret_cast<const __m128i*>(v));
    const __m128i before = _mm_loadu_si128(reinterpret_cast<const __m128i*>(v - 4));
    const __m128i after = _mm_loadu_si128(reinterpret_cast<const __m128i*>(v + 4));
    const __m128i three = _mm_add_epi16(_mm_add_epi16(here, here), here);
    const __m128i even = _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(three, before), eight), 4);
    const __m128i odd = _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(three, after), eight), 4);
    const __m128i base =
        _mm_packus_epi16(_mm_unpacklo_epi64(even, odd), _mm_unpackhi_epi64(even, odd));
    const __m128i skin = _mm_shuffle_epi8(
        base, _mm_setr_epi8(3, 3, 3, 7, 7, 7, 11, 11, 11, 15, 15, 15, -1, -1, -1, -1));
    if (_mm_testz_si128(skin, skin)) {
        return;
    }
    const __m128i smooth = _mm_shuffle_epi8(
        base, _mm_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1));
    const __m128i input = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pixels));
    const __m128i none = _mm_set1_epi16(static_cast<int16_t>(blend_->None()));
    const __m128i slope = _mm_set1_epi16(static_cast<int16_t>(blend_->Slope()));
    const __m128i share = _mm_set1_epi16(static_cast<int16_t>(blend_->Blend()));
    const __m128i full = _mm_set1_epi16(255);
    const __m128i zero = _mm_setzero_si128();
    auto half = [&](__m128i value, __m128i target, __m128i weight) {
        const __m128i d = _mm_sub_epi16(target, value);
        __m128i keep = _mm_mullo_epi16(_mm_sub_epi16(none, _mm_abs_epi16(d)), slope);
        keep = _mm_min_epi16(_mm_max_epi16(keep, zero), full);
        const __m128i part = _mm_srli_epi16(
            _mm_mullo_epi16(_mm_srli_epi16(_mm_mullo_epi16(keep, share), 8), weight), 9);
        const __m128i delta =
            _mm_srai_epi16(_mm_add_epi16(_mm_mullo_epi16(d, part), _mm_set1_epi16(64)), 7);
        return _mm_add_epi16(value, delta);
    };
    const __m128i low = half(_mm_cvtepu8_epi16(input), _mm_cvtepu8_epi16(smooth),
                             _mm_cvtepu8_epi16(skin));
    const __m128i high = half(_mm_cvtepu8_epi16(_mm_srli_si128(input, 8)),
                              _mm_cvtepu8_epi16(_mm_srli_si128(smooth, 8)),
                              _mm_cvtepu8_epi16(_mm_srli_si128(skin, 8)));
    // Bytes 12 to 15 belong to the next pixels; with no skin weight they come back unchanged.
    _mm_storeu_si128(reinterpret_cast<__m128i*>(pixels), _mm_packus_epi16(low, high));
}

void DomainTransformFilter::BlendBack(EffectImage& image) {
    const int lw = lowWidth_, lh = lowHeight_;
    const uint16_t* sums = rowSums_.data() + 4;
    for (int y = 0; y < image.height; ++y) {
        // The enlarged row draws on half-size rows next to y / 2 and on one column beyond.
        const int ly = std::min(y / kFactor, lh - 1);
        int first = lw, last = 0;
        for (int r = std::max(ly - 1, 0); r <= std::min(ly + 1, lh - 1); ++r) {
            first = std::min(first, skinSpans_[r].first);
            last = std::max(last, skinSpans_[r].second);
        }
        if (first >= last) {
            continue;
        }
        SumRows(y);
        uint8_t* row = image.Row(y);
        int x = std::max(first - 1, 0) * kFactor;
        const int end = std::min((last + 1) * kFactor, image.width);
        // Four pixels at a time while a 16-byte access stays inside the row.
        for (; x + 4 <= end && x * 3 + 16 <= image.width * 3; x += 4) {
            BlendFour(sums, x, row + x * 3);
        }
        for (; x < end; ++x) {
            const uint16_t* v = sums + (x / 2) * 4;
            const uint16_t* neighbour = x % 2 ? v + 4 : v - 4;
            const int skin = (3 * v[3] + neighbour[3] + 8) >> 4;
            for (int c = 0; c < 3; ++c) {
                const int smooth = (3 * v[c] + neighbour[c] + 8) >> 4;
                row[x * 3 + c] = blend_->Channel(row[x * 3 + c], smooth, skin);
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
    Smooth();
    StoreSmoothBase();
    BlendBack(image);
}

}  // namespace EM
