#include "DomainTransformFilter.h"

#include <immintrin.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace EM {
namespace {

// The smooth base is computed at half the size of the design frame, and at the same share of
// any larger frame: its cost follows the picture's proportions, not its pixels.
constexpr int kDesignFactor = 2;
constexpr int kMaxFactor = 8;  // what the box reduction takes
// Enlargement weights in sixteenths per axis: sums stay within 16 bits, and at factor 2 they are
// the 3:1 taps of a 2x bilinear enlargement exactly.
constexpr int kTaps = 16;

// The smoothing runs in 16-bit fixed point: levels times 128 (0..32640), weights in 1/32768.
constexpr int kLevelShift = 7;

// value + weight * (toward - value), rounded as the vector instruction rounds.
inline int16_t Step(int16_t value, int16_t toward, int16_t weight) {
    const int16_t difference = static_cast<int16_t>(toward - value);
    return static_cast<int16_t>(value + ((difference * weight + 16384) >> 15));
}

// Recursive filter down the columns of a rows x cols plane, forth and back; weights[y * cols + x]
// couples row y with row y - 1. Rows are independent lanes: the loops vectorise (Step is the
// rounding multiply-high of the vector units).
__attribute__((target_clones("avx2", "default"))) void RecursiveDown(int16_t* plane,
                                                                     const int16_t* weights,
                                                                     int rows, int cols) {
    for (int y = 1; y < rows; ++y) {
        int16_t* __restrict row = plane + static_cast<ptrdiff_t>(y) * cols;
        const int16_t* __restrict prev = row - cols;
        const int16_t* __restrict w = weights + static_cast<ptrdiff_t>(y) * cols;
        for (int x = 0; x < cols; ++x) {
            row[x] = Step(row[x], prev[x], w[x]);
        }
    }
    for (int y = rows - 2; y >= 0; --y) {
        int16_t* __restrict row = plane + static_cast<ptrdiff_t>(y) * cols;
        const int16_t* __restrict next = row + cols;
        const int16_t* __restrict w = weights + static_cast<ptrdiff_t>(y + 1) * cols;
        for (int x = 0; x < cols; ++x) {
            row[x] = Step(row[x], next[x], w[x]);
        }
    }
}

// dst (cols x rows) = transpose of src (rows x cols): 8 x 8 blocks in registers, walked in
// 32 x 32 tiles so that the written lines stay in the first-level cache.
void Transpose(const int16_t* src, int rows, int cols, int16_t* dst) {
    constexpr int kTile = 32;
    const int rows8 = rows & ~7;
    const int cols8 = cols & ~7;
    for (int ty = 0; ty < rows8; ty += kTile) {
        const int yEnd = std::min(ty + kTile, rows8);
        for (int tx = 0; tx < cols8; tx += kTile) {
            const int xEnd = std::min(tx + kTile, cols8);
            for (int y = ty; y < yEnd; y += 8) {
                for (int x = tx; x < xEnd; x += 8) {
                    __m128i r[8];
                    for (int k = 0; k < 8; ++k) {
                        r[k] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(
                            src + static_cast<ptrdiff_t>(y + k) * cols + x));
                    }
                    __m128i t[8], u[8];
                    for (int k = 0; k < 4; ++k) {
                        t[2 * k] = _mm_unpacklo_epi16(r[2 * k], r[2 * k + 1]);
                        t[2 * k + 1] = _mm_unpackhi_epi16(r[2 * k], r[2 * k + 1]);
                    }
                    for (int k = 0; k < 2; ++k) {
                        u[4 * k] = _mm_unpacklo_epi32(t[4 * k], t[4 * k + 2]);
                        u[4 * k + 1] = _mm_unpackhi_epi32(t[4 * k], t[4 * k + 2]);
                        u[4 * k + 2] = _mm_unpacklo_epi32(t[4 * k + 1], t[4 * k + 3]);
                        u[4 * k + 3] = _mm_unpackhi_epi32(t[4 * k + 1], t[4 * k + 3]);
                    }
                    for (int k = 0; k < 4; ++k) {
                        int16_t* d = dst + static_cast<ptrdiff_t>(x + 2 * k) * rows + y;
                        _mm_storeu_si128(reinterpret_cast<__m128i*>(d),
                                         _mm_unpacklo_epi64(u[k], u[k + 4]));
                        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + rows),
                                         _mm_unpackhi_epi64(u[k], u[k + 4]));
                    }
                }
            }
        }
    }
    // The last rows and columns that do not fill a block.
    for (int y = 0; y < rows; ++y) {
        for (int x = y < rows8 ? cols8 : 0; x < cols; ++x) {
            dst[static_cast<ptrdiff_t>(x) * rows + y] = src[static_cast<ptrdiff_t>(y) * cols + x];
        }
    }
}

__attribute__((target_clones("avx2", "default"))) void Square(int16_t* values, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        values[i] = static_cast<int16_t>((values[i] * values[i] + 16384) >> 15);
    }
}

// Sum of the absolute differences of B, G and R between each pixel of a row and its neighbour:
// `left` compares x with x - 1 (and pixel 0 with itself), otherwise with the row `above`.
__attribute__((target_clones("avx2", "default"))) void Spreads(const uint8_t* __restrict blue,
                                                               const uint8_t* __restrict green,
                                                               const uint8_t* __restrict red,
                                                               ptrdiff_t offset, int count,
                                                               int16_t* __restrict out) {
    for (int x = 0; x < count; ++x) {
        out[x] = static_cast<int16_t>(std::abs(blue[x] - blue[x - offset]) +
                                      std::abs(green[x] - green[x - offset]) +
                                      std::abs(red[x] - red[x - offset]));
    }
}

__attribute__((target_clones("avx2", "default"))) void Widen(const uint8_t* __restrict in,
                                                             int count, int16_t* __restrict out) {
    for (int x = 0; x < count; ++x) {
        out[x] = static_cast<int16_t>(in[x] << kLevelShift);
    }
}

// SkinBlend's constants, one per 16-bit lane.
struct BlendLanes {
    __m128i none, slope, share;
    explicit BlendLanes(const SkinBlend& blend)
        : none(_mm_set1_epi16(static_cast<int16_t>(blend.None()))),
          slope(_mm_set1_epi16(static_cast<int16_t>(blend.Slope()))),
          share(_mm_set1_epi16(static_cast<int16_t>(blend.Blend()))) {}
};

// Full-size pixels [x, x + 4) of a row: the enlarged base laid over them, 16-bit lanes. `sums`
// holds the row's vertical blend of the base, 4 values (B, G, R, weight) per half-size column;
// each pixel blends its column with the next by its weights.
inline void BlendFour(const uint16_t* sums, const int* first,
                      const DomainTransformFilter::ColumnTaps* taps, int x, uint8_t* pixels,
                      const BlendLanes& lanes) {
    auto pixel = [&](int i) {
        const __m128i pair =
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(sums + first[x + i] * 4));
        const __m128i products = _mm_mullo_epi16(
            pair, _mm_load_si128(reinterpret_cast<const __m128i*>(taps[x + i].lanes)));
        return _mm_add_epi16(products, _mm_srli_si128(products, 8));
    };
    const __m128i round = _mm_set1_epi16(kTaps * kTaps / 2);
    auto finish = [&](__m128i a, __m128i b) {
        return _mm_srli_epi16(_mm_add_epi16(_mm_unpacklo_epi64(a, b), round), 8);
    };
    const __m128i base = _mm_packus_epi16(finish(pixel(0), pixel(1)), finish(pixel(2), pixel(3)));
    const __m128i skin = _mm_shuffle_epi8(
        base, _mm_setr_epi8(3, 3, 3, 7, 7, 7, 11, 11, 11, 15, 15, 15, -1, -1, -1, -1));
    if (_mm_testz_si128(skin, skin)) {
        return;
    }
    const __m128i smooth = _mm_shuffle_epi8(
        base, _mm_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1));
    const __m128i input = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pixels));
    const __m128i none = lanes.none, slope = lanes.slope, share = lanes.share;
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
    const __m128i low =
        half(_mm_cvtepu8_epi16(input), _mm_cvtepu8_epi16(smooth), _mm_cvtepu8_epi16(skin));
    const __m128i high = half(_mm_cvtepu8_epi16(_mm_srli_si128(input, 8)),
                              _mm_cvtepu8_epi16(_mm_srli_si128(smooth, 8)),
                              _mm_cvtepu8_epi16(_mm_srli_si128(skin, 8)));
    // Exactly the 12 bytes of the four pixels: a wider store would overlap the next load.
    const __m128i out = _mm_packus_epi16(low, high);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(pixels), out);
    const int32_t last = _mm_cvtsi128_si32(_mm_srli_si128(out, 8));
    std::memcpy(pixels + 8, &last, 4);
}

}  // namespace

void DomainTransformFilter::OnParamsChanged() {
    level_ = IntParam("level", 15, 0, 30);
    blend_.emplace(SmoothingForLevel(level_));
    BuildFeedback();
}

void DomainTransformFilter::BuildFeedback() {
    const SmoothingStrength strength = SmoothingForLevel(level_);
    const double sizeScale = height_ > 0 ? static_cast<double>(height_) / kDesignHeight : 1.0;
    // At half size both the spatial sigma and the pixel spacing halve; the range sigma stays.
    const double sigmaSpace = strength.sigmaSpace * sizeScale / factor_;
    const double ratio = sigmaSpace / strength.sigmaRange;
    const double logA = std::log(DomainTransformFeedback(sigmaSpace, 0));
    for (int spread = 0; spread <= kMaxSpread; ++spread) {
        const double weight = std::exp(logA * (1.0 + ratio * spread));
        feedback_[spread] = static_cast<int16_t>(std::min(std::lround(weight * 32768.0), 32767L));
    }
    // Beyond three times the spatial sigma a pixel's pull on another has faded below 1 %.
    reach_ = static_cast<int>(std::ceil(3.0 * sigmaSpace)) + 2;
}

void DomainTransformFilter::Prepare(int width, int height) {
    if (width == width_ && height == height_) {
        return;
    }
    const bool heightChanged = height != height_;
    width_ = width;
    height_ = height;
    factor_ = std::clamp(
        static_cast<int>(std::lround(static_cast<double>(kDesignFactor) * height / kDesignHeight)),
        kDesignFactor, kMaxFactor);
    if (heightChanged) {
        BuildFeedback();
    }
    lowWidth_ = ReducedSize(width, factor_);
    lowHeight_ = ReducedSize(height, factor_);
    const size_t lowPixels = static_cast<size_t>(lowWidth_) * lowHeight_;
    low_.assign(lowPixels * 3, 0);
    planes_.assign(lowPixels * 3, 0);
    transposed_.assign(lowPixels, 0);
    weights_.assign(lowPixels * 2, 0);
    base_.assign(lowPixels * 4, 0);
    spreads_.assign(static_cast<size_t>(lowWidth_) * 2, 0);
    skinSpans_.assign(lowHeight_, {0, 0});
    // One spare column: the last pixels' loads reach one column past the row, weighted 0.
    rowSums_.assign(static_cast<size_t>(lowWidth_ + 1) * 4, 0);
    skin_.Prepare(lowWidth_, lowHeight_);
    downsampler_.Prepare(width, factor_);
    // Bilinear enlargement with the pixel centres aligned, edges clamped.
    auto steps = [this](int size, int lowSize, std::vector<int>& first, std::vector<int>& weight) {
        first.resize(size);
        weight.resize(size);
        for (int i = 0; i < size; ++i) {
            const double pos =
                std::clamp((i + 0.5) / factor_ - 0.5, 0.0, static_cast<double>(lowSize - 1));
            first[i] = static_cast<int>(pos);
            weight[i] = static_cast<int>(std::lround((pos - first[i]) * kTaps));
            if (weight[i] == kTaps) {
                ++first[i], weight[i] = 0;
            }
        }
    };
    std::vector<int> columnWeight;
    steps(width, lowWidth_, columnFirst_, columnWeight);
    steps(height, lowHeight_, rowFirst_, rowWeight_);
    columnTaps_.resize(width);
    for (int x = 0; x < width; ++x) {
        for (int c = 0; c < 4; ++c) {
            columnTaps_[x].lanes[c] = static_cast<int16_t>(kTaps - columnWeight[x]);
            columnTaps_[x].lanes[4 + c] = static_cast<int16_t>(columnWeight[x]);
        }
    }
}

// Skin weights of the half-size picture, where skin is per row, and the box around all of it
// widened by the reach of the filter; false when there is no skin at all.
bool DomainTransformFilter::FindSkin() {
    const int lw = lowWidth_, lh = lowHeight_;
    skin_.Compute(low_.data(), lw, lh);
    int left = lw, right = 0, top = lh, bottom = 0;
    for (int y = 0; y < lh; ++y) {
        const uint8_t* row = skin_.Weights() + static_cast<size_t>(y) * lw;
        int first = 0, last = lw;
        while (first < lw && row[first] == 0) {
            ++first;
        }
        while (last > first && row[last - 1] == 0) {
            --last;
        }
        skinSpans_[y] = {first, last};
        if (first < last) {
            left = std::min(left, first);
            right = std::max(right, last);
            top = std::min(top, y);
            bottom = y + 1;
        }
    }
    if (left >= right) {
        return false;
    }
    box_ = {std::max(left - reach_, 0), std::max(top - reach_, 0), std::min(right + reach_, lw),
            std::min(bottom + reach_, lh)};
    return true;
}

// Planes of the box and the first iteration's weights from the spreads between neighbours; the
// box's sides act as the picture's edges.
void DomainTransformFilter::LoadBox() {
    const int lw = lowWidth_;
    const int bw = box_.right - box_.left, bh = box_.bottom - box_.top;
    const size_t pixels = static_cast<size_t>(bw) * bh;
    int16_t* __restrict across = weights_.data();
    int16_t* __restrict down = across + pixels;
    const int16_t* __restrict table = feedback_.data();
    int16_t* __restrict spreads = spreads_.data();
    for (int y = 0; y < bh; ++y) {
        const size_t at = static_cast<size_t>(box_.top + y) * lw + box_.left;
        const uint8_t* blue = skin_.Plane(0) + at;
        const uint8_t* green = skin_.Plane(1) + at;
        const uint8_t* red = skin_.Plane(2) + at;
        const size_t start = static_cast<size_t>(y) * bw;
        for (int c = 0; c < 3; ++c) {
            Widen(skin_.Plane(c) + at, bw, planes_.data() + c * pixels + start);
        }
        spreads[0] = 0;
        Spreads(blue + 1, green + 1, red + 1, 1, bw - 1, spreads + 1);
        Spreads(blue, green, red, y > 0 ? lw : 0, bw, spreads + bw);
        for (int x = 0; x < bw; ++x) {
            across[start + x] = table[spreads[x]];
        }
        for (int x = 0; x < bw; ++x) {
            down[start + x] = table[spreads[bw + x]];
        }
    }
    // Along the rows the filter runs on the transposed plane.
    Transpose(across, bh, bw, transposed_.data());
    std::copy(transposed_.begin(), transposed_.begin() + pixels, across);
}

// Each iteration runs along the rows (as columns of the transposed planes), then down the columns,
// and halves the kernel of the one before, which squares every weight.
void DomainTransformFilter::Smooth() {
    const int bw = box_.right - box_.left, bh = box_.bottom - box_.top;
    const size_t pixels = static_cast<size_t>(bw) * bh;
    int16_t* across = weights_.data();
    int16_t* down = across + pixels;
    for (int it = 0; it < kDomainTransformIterations; ++it) {
        if (it > 0) {
            Square(weights_.data(), pixels * 2);
        }
        for (int c = 0; c < 3; ++c) {
            int16_t* plane = planes_.data() + c * pixels;
            Transpose(plane, bh, bw, transposed_.data());
            RecursiveDown(transposed_.data(), across, bw, bh);
            Transpose(transposed_.data(), bw, bh, plane);
            RecursiveDown(plane, down, bh, bw);
        }
    }
}

// The smoothed planes back to bytes, interleaved with the skin weights as B, G, R, weight.
void DomainTransformFilter::StoreSmoothBase() {
    const int bw = box_.right - box_.left, bh = box_.bottom - box_.top;
    const size_t pixels = static_cast<size_t>(bw) * bh;
    const __m128i half = _mm_set1_epi16(1 << (kLevelShift - 1));
    auto level = [&](const int16_t* p) {
        return _mm_srai_epi16(
            _mm_add_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), half), kLevelShift);
    };
    for (int y = 0; y < bh; ++y) {
        const size_t start = static_cast<size_t>(y) * bw;
        const int16_t* blue = planes_.data() + start;
        const int16_t* green = blue + pixels;
        const int16_t* red = green + pixels;
        const size_t at = static_cast<size_t>(box_.top + y) * lowWidth_ + box_.left;
        const uint8_t* weights = skin_.Weights() + at;
        uint8_t* out = base_.data() + at * 4;
        int x = 0;
        for (; x + 16 <= bw; x += 16) {
            const __m128i b = _mm_packus_epi16(level(blue + x), level(blue + x + 8));
            const __m128i g = _mm_packus_epi16(level(green + x), level(green + x + 8));
            const __m128i r = _mm_packus_epi16(level(red + x), level(red + x + 8));
            const __m128i w = _mm_loadu_si128(reinterpret_cast<const __m128i*>(weights + x));
            const __m128i bgLow = _mm_unpacklo_epi8(b, g), rwLow = _mm_unpacklo_epi8(r, w);
            const __m128i bgHigh = _mm_unpackhi_epi8(b, g), rwHigh = _mm_unpackhi_epi8(r, w);
            __m128i* o = reinterpret_cast<__m128i*>(out + x * 4);
            _mm_storeu_si128(o, _mm_unpacklo_epi16(bgLow, rwLow));
            _mm_storeu_si128(o + 1, _mm_unpackhi_epi16(bgLow, rwLow));
            _mm_storeu_si128(o + 2, _mm_unpacklo_epi16(bgHigh, rwHigh));
            _mm_storeu_si128(o + 3, _mm_unpackhi_epi16(bgHigh, rwHigh));
        }
        for (; x < bw; ++x) {
            const int16_t values[3] = {blue[x], green[x], red[x]};
            for (int c = 0; c < 3; ++c) {
                const int rounded = (values[c] + (1 << (kLevelShift - 1))) >> kLevelShift;
                out[x * 4 + c] = static_cast<uint8_t>(std::clamp(rounded, 0, 255));
            }
            out[x * 4 + 3] = weights[x];
        }
    }
}

// Vertical half of the enlargement for full-size row y over half-size columns [from, to): its
// two half-size rows blended by their weights, 16 times the level at most.
void DomainTransformFilter::SumRows(int y, int from, int to) {
    const int stride = lowWidth_ * 4;
    const int r0 = rowFirst_[y];
    const int wy = rowWeight_[y];
    const int r1 = wy ? r0 + 1 : r0;
    const uint8_t* __restrict a = base_.data() + static_cast<size_t>(r0) * stride + from * 4;
    const uint8_t* __restrict b = base_.data() + static_cast<size_t>(r1) * stride + from * 4;
    uint16_t* __restrict sums = rowSums_.data() + from * 4;
    const int count = (to - from) * 4;
    for (int i = 0; i < count; ++i) {
        sums[i] = static_cast<uint16_t>(a[i] * (kTaps - wy) + b[i] * wy);
    }
}

void DomainTransformFilter::BlendBack(EffectImage& image) {
    const uint16_t* sums = rowSums_.data();
    const BlendLanes lanes(*blend_);
    for (int y = 0; y < image.height; ++y) {
        // The enlarged row draws on two half-size rows and on the column after each pixel's.
        const int r0 = rowFirst_[y];
        const int r1 = rowWeight_[y] ? r0 + 1 : r0;
        const int first = std::min(skinSpans_[r0].first, skinSpans_[r1].first);
        const int last = std::max(skinSpans_[r0].second, skinSpans_[r1].second);
        if (first >= last) {
            continue;
        }
        SumRows(y, std::max(first - 1, 0), std::min(last + 1, lowWidth_));
        uint8_t* row = image.Row(y);
        int x =
            static_cast<int>(std::lower_bound(columnFirst_.begin(), columnFirst_.end(), first - 1) -
                             columnFirst_.begin());
        const int end =
            static_cast<int>(std::lower_bound(columnFirst_.begin(), columnFirst_.end(), last) -
                             columnFirst_.begin());
        // Four pixels at a time while a 16-byte access stays inside the row.
        for (; x + 4 <= end && x * 3 + 16 <= image.width * 3; x += 4) {
            BlendFour(sums, columnFirst_.data(), columnTaps_.data(), x, row + x * 3, lanes);
        }
        for (; x < end; ++x) {
            const uint16_t* v = sums + columnFirst_[x] * 4;
            const int w = columnTaps_[x].lanes[4];
            auto enlarged = [&](int c) {
                return (v[c] * (kTaps - w) + v[c + 4] * w + kTaps * kTaps / 2) >> 8;
            };
            const int skin = enlarged(3);
            for (int c = 0; c < 3; ++c) {
                row[x * 3 + c] = blend_->Channel(row[x * 3 + c], enlarged(c), skin);
            }
        }
    }
}

void DomainTransformFilter::Process(EffectImage& image) {
    if (level_ == 0) {
        return;
    }
    Prepare(image.width, image.height);
    downsampler_.Run(image, factor_, low_.data(), lowWidth_ * 3);
    if (!FindSkin()) {
        return;
    }
    LoadBox();
    Smooth();
    StoreSmoothBase();
    BlendBack(image);
}

}  // namespace EM
