#include "Resample.h"

#include <immintrin.h>

#include <algorithm>
#include <cstring>

namespace EM {
namespace {

__attribute__((target_clones("avx2", "default"))) void AddRow(uint16_t* __restrict sums,
                                                              const uint8_t* __restrict row,
                                                              int count) {
    for (int i = 0; i < count; ++i) {
        sums[i] = static_cast<uint16_t>(sums[i] + row[i]);
    }
}

// across[i] = the sum of `factor` values of `sums` three apart from i on: the block sums of every
// pixel position at once, in contiguous passes.
__attribute__((target_clones("avx2", "default"))) void AddAcross(const uint16_t* __restrict sums,
                                                                 int factor, int count,
                                                                 uint16_t* __restrict across) {
    for (int i = 0; i < count; ++i) {
        across[i] = sums[i];
    }
    for (int dx = 1; dx < factor; ++dx) {
        const uint16_t* __restrict shifted = sums + dx * 3;
        for (int i = 0; i < count; ++i) {
            across[i] = static_cast<uint16_t>(across[i] + shifted[i]);
        }
    }
}

// means[i] = across[i] / blocks, rounded: multiplied by 2^24 / blocks rounded up, which is exact
// for the sums of blocks of up to 8 x 8 bytes, and stays within 32 bits.
__attribute__((target_clones("avx2", "default"))) void Means(const uint16_t* __restrict across,
                                                             int count, uint32_t blocks,
                                                             uint8_t* __restrict means) {
    const uint32_t inverse = ((1u << 24) + blocks - 1) / blocks;
    for (int i = 0; i < count; ++i) {
        means[i] = static_cast<uint8_t>(((across[i] + blocks / 2) * inverse) >> 24);
    }
}

// Any factor other than 2, through a row of column sums, and the sums of each pixel's block
// across: all contiguous passes, the block means then picked out.
void BlockRows(const EffectImage& image, int factor, uint8_t* out, int outStride, uint16_t* sums,
               uint16_t* across, uint8_t* means) {
    const int width = image.width;
    const int lowWidth = ReducedSize(width, factor);
    const int lowHeight = ReducedSize(image.height, factor);
    const uint32_t blocks = static_cast<uint32_t>(factor) * factor;
    // Positions up to the last block's first pixel, whose sums reach the end of `sums`.
    const int count = (lowWidth - 1) * factor * 3 + 3;
    for (int ly = 0; ly < lowHeight; ++ly) {
        const uint8_t* first = image.Row(std::min(ly * factor, image.height - 1));
        for (int i = 0; i < width * 3; ++i) {
            sums[i] = first[i];
        }
        for (int dy = 1; dy < factor; ++dy) {
            AddRow(sums, image.Row(std::min(ly * factor + dy, image.height - 1)), width * 3);
        }
        // Repeat the last column so a partial block at the right edge reads valid sums.
        for (int i = width * 3; i < lowWidth * factor * 3; ++i) {
            sums[i] = sums[i - 3];
        }
        AddAcross(sums, factor, count, across);
        Means(across, count, blocks, means);
        uint8_t* dst = out + static_cast<ptrdiff_t>(ly) * outStride;
        for (int lx = 0; lx < lowWidth; ++lx) {
            std::memcpy(dst + lx * 3, means + lx * factor * 3, 3);
        }
    }
}

// Factor 2: four output pixels at a time from eight source pixels of each row, their bytes paired
// by one shuffle and added pairwise; the rest of the row pixel by pixel.
void HalveRows(const EffectImage& image, uint8_t* out, int outStride) {
    const int width = image.width;
    const int lowWidth = ReducedSize(width, 2);
    const int lowHeight = ReducedSize(image.height, 2);
    const __m128i pairs = _mm_setr_epi8(0, 3, 1, 4, 2, 5, 6, 9, 7, 10, 8, 11, -1, -1, -1, -1);
    const __m128i packed = _mm_setr_epi8(0, 1, 2, 3, 4, 5, 8, 9, 10, 11, 12, 13, -1, -1, -1, -1);
    const __m128i ones = _mm_set1_epi8(1);
    const __m128i two = _mm_set1_epi16(2);
    for (int ly = 0; ly < lowHeight; ++ly) {
        const uint8_t* a = image.Row(std::min(ly * 2, image.height - 1));
        const uint8_t* b = image.Row(std::min(ly * 2 + 1, image.height - 1));
        uint8_t* dst = out + static_cast<ptrdiff_t>(ly) * outStride;
        auto pairSums = [&](const uint8_t* p) {
            const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
            return _mm_maddubs_epi16(_mm_shuffle_epi8(bytes, pairs), ones);
        };
        int lx = 0;
        // The second 16-byte load of a step starts 12 bytes in and must end inside the row.
        for (; lx * 6 + 28 <= width * 3; lx += 4) {
            const uint8_t* pa = a + lx * 6;
            const uint8_t* pb = b + lx * 6;
            const __m128i first = _mm_add_epi16(_mm_add_epi16(pairSums(pa), pairSums(pb)), two);
            const __m128i second =
                _mm_add_epi16(_mm_add_epi16(pairSums(pa + 12), pairSums(pb + 12)), two);
            const __m128i means = _mm_shuffle_epi8(
                _mm_packus_epi16(_mm_srli_epi16(first, 2), _mm_srli_epi16(second, 2)), packed);
            _mm_storel_epi64(reinterpret_cast<__m128i*>(dst + lx * 3), means);
            const int32_t last = _mm_cvtsi128_si32(_mm_srli_si128(means, 8));
            std::memcpy(dst + lx * 3 + 8, &last, 4);
        }
        for (; lx < lowWidth; ++lx) {
            const int x0 = lx * 2 * 3, x1 = std::min(lx * 2 + 1, width - 1) * 3;
            for (int c = 0; c < 3; ++c) {
                dst[lx * 3 + c] =
                    static_cast<uint8_t>((a[x0 + c] + a[x1 + c] + b[x0 + c] + b[x1 + c] + 2) >> 2);
            }
        }
    }
}

}  // namespace

void BoxDownsampler::Prepare(int width, int factor) {
    const size_t needed = static_cast<size_t>(ReducedSize(width, factor)) * factor * 3;
    if (columnSums_.size() < needed) {
        columnSums_.resize(needed);
        blockSums_.resize(needed);
        blockMeans_.resize(needed);
    }
}

void BoxDownsampler::Run(const EffectImage& image, int factor, uint8_t* out, int outStride) {
    Prepare(image.width, factor);
    if (factor == 2) {
        HalveRows(image, out, outStride);
    } else {
        BlockRows(image, factor, out, outStride, columnSums_.data(), blockSums_.data(),
                  blockMeans_.data());
    }
}

}  // namespace EM
