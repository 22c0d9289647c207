#include "ThumbnailGrid.h"

#include <algorithm>

namespace zavreo {
namespace {

constexpr int kNarrowStep = 86;

// The spare width spread over the gaps between columns, at least one pixel a gap.
int StepFor(int width, int columns) {
    if (columns < 2) {
        return kNarrowStep;
    }
    const int gap = (width % ThumbnailGrid::kCell - 2 * ThumbnailGrid::kMargin) / (columns - 1);
    return gap < 1 ? kNarrowStep : ThumbnailGrid::kCell + gap;
}

}  // namespace

ThumbnailGrid::ThumbnailGrid(int width) : width_(std::max(width, 0)) {
    columns_ = std::max(1, width_ / kCell);
    step_ = StepFor(width_, columns_);
    // The narrow step can push the last column past the right edge; use one column fewer then.
    while (columns_ > 1 && kMargin + (columns_ - 1) * step_ + kCell > width_) {
        --columns_;
        step_ = StepFor(width_, columns_);
    }
}

int ThumbnailGrid::CellX(int index) const {
    return (index % columns_) * step_ + kMargin;
}

int ThumbnailGrid::CellY(int index, int scroll) const {
    return (index / columns_) * kRowPitch - scroll + kMargin;
}

int ThumbnailGrid::HitTest(int x, int y, int scroll) const {
    if (x < kMargin || x >= width_ - kMargin) {
        return -1;
    }
    const int left = x - kMargin;
    const int top = y + scroll - kMargin;
    if (top < 0) {
        return -1;
    }
    const int column = left / step_;
    const int row = top / kRowPitch;
    if (column >= columns_ || left % step_ >= kCell || top % kRowPitch >= kCell) {
        return -1;
    }
    return row * columns_ + column + 1;
}

int ThumbnailGrid::ContentHeight(int count) const {
    const int rows = (std::max(count, 0) + columns_ - 1) / columns_;
    return rows * kRowPitch + kMargin;
}

int ThumbnailGrid::ScrollMaximum(int count, int height) const {
    return std::max(0, ContentHeight(count) - height);
}

}  // namespace zavreo
