#include "MirrorFilter.h"

#include <immintrin.h>

#include <cstring>

#include "RowOps.h"

namespace EM {
namespace {

// dst = the `count` pixels of src in reverse order; the two must not overlap. Five pixels at a
// time through one byte shuffle.
void ReversePixels(const uint8_t* src, int count, uint8_t* dst) {
    // Sixteen bytes loaded from one byte before a run of five pixels, written back to front.
    const __m128i reverse = _mm_setr_epi8(13, 14, 15, 10, 11, 12, 7, 8, 9, 4, 5, 6, 1, 2, 3, -1);
    int x = 0;
    // The load starts at least one byte into src and the 16-byte store ends inside dst.
    for (; x + 6 <= count; x += 5) {
        const uint8_t* from = src + (count - 5 - x) * 3 - 1;
        const __m128i run = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + x * 3), _mm_shuffle_epi8(run, reverse));
    }
    for (; x < count; ++x) {
        std::memcpy(dst + x * 3, src + (count - 1 - x) * 3, 3);
    }
}

}  // namespace

void MirrorFilter::OnParamsChanged() {
    doubleSide_ = StringParam("dside", "") == "true";
    horizontal_ = StringParam("hflip", "") == "true";
    vertical_ = StringParam("vflip", "") == "true";
}

void MirrorFilter::Prepare(int width, int) {
    const size_t rowBytes = static_cast<size_t>(width) * 3;
    if (rowScratch_.size() < rowBytes) {
        rowScratch_.resize(rowBytes);
    }
}

void MirrorFilter::Process(EffectImage& image) {
    const int width = image.width;
    const size_t rowBytes = static_cast<size_t>(width) * 3;
    Prepare(image.width, image.height);
    uint8_t* scratch = rowScratch_.data();
    if (horizontal_ || doubleSide_) {
        for (int y = 0; y < image.height; ++y) {
            uint8_t* row = image.Row(y);
            if (horizontal_) {
                ReversePixels(row, width, scratch);
                std::memcpy(row, scratch, rowBytes);
            }
            if (doubleSide_) {
                // The right half becomes the mirror image of the left half.
                const int half = width / 2;
                ReversePixels(row, half, scratch);
                std::memcpy(row + (width - half) * 3, scratch, static_cast<size_t>(half) * 3);
            }
        }
    }
    if (vertical_) {
        ReverseRowOrder(image, scratch);
    }
}

}  // namespace EM
