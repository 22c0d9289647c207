#include "MirrorFilter.h"

#include <algorithm>
#include <cstring>

#include "RowOps.h"

namespace EM {
namespace {

void SwapPixels(uint8_t* a, uint8_t* b) {
    std::swap(a[0], b[0]);
    std::swap(a[1], b[1]);
    std::swap(a[2], b[2]);
}

void ReverseRow(uint8_t* row, int width) {
    for (int left = 0, right = width - 1; left < right; ++left, --right) {
        SwapPixels(row + left * 3, row + right * 3);
    }
}

// The right half becomes the mirror image of the left half.
void MirrorLeftHalf(uint8_t* row, int width) {
    for (int x = 0; x < width / 2; ++x) {
        std::memcpy(row + (width - 1 - x) * 3, row + x * 3, 3);
    }
}

}  // namespace

void MirrorFilter::OnParamsChanged() {
    doubleSide_ = StringParam("dside", "") == "true";
    horizontal_ = StringParam("hflip", "") == "true";
    vertical_ = StringParam("vflip", "") == "true";
}

void MirrorFilter::Process(EffectImage& image) {
    const int width = image.width;
    if (horizontal_ || doubleSide_) {
        for (int y = 0; y < image.height; ++y) {
            if (horizontal_) {
                ReverseRow(image.Row(y), width);
            }
            if (doubleSide_) {
                MirrorLeftHalf(image.Row(y), width);
            }
        }
    }
    if (vertical_) {
        const size_t rowBytes = static_cast<size_t>(width) * 3;
        if (rowScratch_.size() < rowBytes) {
            rowScratch_.resize(rowBytes);
        }
        ReverseRowOrder(image, rowScratch_.data());
    }
}

}  // namespace EM
