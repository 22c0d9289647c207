#pragma once
// Where the thumbnails of the picture list lie: 85 x 85 cells, rows 95 pixels apart, 10 pixels of
// margin, as many columns as the width holds. Drawing, hit testing and the scroll range all use
// the same layout, so a click selects the picture drawn under it and the last row can be reached.

namespace zavreo {

class ThumbnailGrid {
public:
    static constexpr int kCell = 85;
    static constexpr int kRowPitch = 95;
    static constexpr int kMargin = 10;

    // For a client area `width` pixels wide.
    explicit ThumbnailGrid(int width);

    int Columns() const { return columns_; }
    int Step() const { return step_; }
    // Top-left corner of picture `index` (0-based) with the content scrolled by `scroll`.
    int CellX(int index) const;
    int CellY(int index, int scroll) const;
    // The 1-based number of the cell under (x, y), whether or not a picture is there, or -1 in a
    // margin or gap.
    int HitTest(int x, int y, int scroll) const;
    // Height of the content for `count` pictures, bottom margin included.
    int ContentHeight(int count) const;
    // The largest scroll position for a view `height` pixels high.
    int ScrollMaximum(int count, int height) const;

private:
    int width_;
    int columns_;
    int step_;
};

}  // namespace zavreo
