#include "ScaleFilter.h"

#include <immintrin.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace EM {
namespace {

// Magnification of the source at the band's centre per unit of "scale"; with the falloff below
// a face of about a fifth of the width ends up 12 % narrower at -1.00.
constexpr double kStrength = 0.16;
constexpr double kBandHalfWidth = 0.36;  // of the picture's width

// Bytes a load reaches beyond the row: the last block's right samples start 3 bytes further.
constexpr int kCopySlack = 32;

// Four output pixels of a block from the row copy: each byte blends its left and right sample,
// (left * (256 - w) + right * w + 128) >> 8, which stays within 16 unsigned bits.
inline void BlendBlock(const uint8_t* copy, const ScaleFilter::Block& block, uint8_t* out) {
    const __m128i select = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block.select));
    const __m128i left = _mm_shuffle_epi8(
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(copy + block.offset)), select);
    const __m128i right = _mm_shuffle_epi8(
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(copy + block.offset + 3)), select);
    const __m128i zero = _mm_setzero_si128();
    const __m128i half = _mm_set1_epi16(128);
    const __m128i full = _mm_set1_epi16(256);
    auto blend = [&](__m128i l, __m128i r, __m128i w) {
        const __m128i sum =
            _mm_add_epi16(_mm_mullo_epi16(l, _mm_sub_epi16(full, w)), _mm_mullo_epi16(r, w));
        return _mm_srli_epi16(_mm_add_epi16(sum, half), 8);
    };
    const __m128i w0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block.weight));
    const __m128i w1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block.weight + 8));
    const __m128i low = blend(_mm_unpacklo_epi8(left, zero), _mm_unpacklo_epi8(right, zero), w0);
    const __m128i high = blend(_mm_unpackhi_epi8(left, zero), _mm_unpackhi_epi8(right, zero), w1);
    const __m128i pixels = _mm_packus_epi16(low, high);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out), pixels);
    const int32_t last = _mm_cvtsi128_si32(_mm_srli_si128(pixels, 8));
    std::memcpy(out + 8, &last, 4);
}

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
    rowCopy_.resize(static_cast<size_t>(width) * 3 + kCopySlack);
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
    // Blocks of four output pixels whose left samples lie within one 16-byte load; the rest of
    // the band is done pixel by pixel.
    blocks_.clear();
    const int count = last_ - first_;
    for (int i = 0; i + 4 <= count; i += 4) {
        Block block;
        block.offset = sourceOffset_[i];
        if (sourceOffset_[i + 3] + 2 - block.offset > 15) {
            break;
        }
        for (int j = 0; j < 16; ++j) {
            const int pixel = std::min(j / 3, 3);
            block.select[j] =
                j < 12 ? static_cast<int8_t>(sourceOffset_[i + pixel] + j % 3 - block.offset)
                       : int8_t{-1};
            block.weight[j] = j < 12 ? weight_[i + pixel] : 0;
        }
        blocks_.push_back(block);
    }
}

void ScaleFilter::Prepare(int width, int) {
    if (width != mapWidth_ || scale_ != mapScale_) {
        BuildMap(width);
    }
}

void ScaleFilter::Process(EffectImage& image) {
    if (scale_ == 0.0) {
        return;
    }
    Prepare(image.width, image.height);
    const size_t rowBytes = static_cast<size_t>(image.width) * 3;
    uint8_t* copy = rowCopy_.data();
    const int blocked = first_ + static_cast<int>(blocks_.size()) * 4;
    for (int y = 0; y < image.height; ++y) {
        uint8_t* row = image.Row(y);
        std::memcpy(copy, row, rowBytes);
        std::memcpy(copy + rowBytes, row + rowBytes - 3, 3);  // right neighbour of the last pixel
        uint8_t* out = row + first_ * 3;
        for (const Block& block : blocks_) {
            BlendBlock(copy, block, out);
            out += 12;
        }
        for (int x = blocked; x < last_; ++x) {
            const uint8_t* left = copy + sourceOffset_[x - first_];
            const int w = weight_[x - first_];
            for (int c = 0; c < 3; ++c) {
                row[x * 3 + c] =
                    static_cast<uint8_t>((left[c] * (256 - w) + left[c + 3] * w + 128) >> 8);
            }
        }
    }
}

}  // namespace EM
