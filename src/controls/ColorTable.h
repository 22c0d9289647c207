#pragma once
// The colour picker's table of 32 named colours and the geometry and mouse rules of its grid.
// Plain logic; CColorWnd draws it.

#include <array>

struct NamedColor {
    const char* name;   // tooltip text
    unsigned colorRef;  // 0x00BBGGRR
};

const std::array<NamedColor, 32>& ColorTable();

struct CellRect {
    int left, top, right, bottom;
    bool Contains(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
    bool operator==(const CellRect&) const = default;
};

// Items 0..31 are the colour cells, item 32 the "其他颜色..." row.
class ColorGrid {
public:
    static constexpr int kCellSize = 18;
    static constexpr int kColumns = 7;
    static constexpr int kOtherItem = 32;
    static constexpr int kItemCount = 33;
    static constexpr int kWidth = 126;
    static constexpr int kHeight = 121;

    static CellRect ItemRect(int item);
    // The first item containing the point, -1 for none.
    static int HitTest(int x, int y);

    enum class Choice { None, Color, Other };
    struct Result {
        Choice choice = Choice::None;
        unsigned colorRef = 0;
    };

    int HotItem() const { return hot_; }
    int PressedItem() const { return pressed_; }
    // Each returns whether the hot or pressed item changed (the caller redraws).
    bool MouseMove(int x, int y);
    bool MousePress(int x, int y);
    // A choice only when released over the item that was pressed.
    Result MouseRelease(int x, int y);
    void MouseLeave();

private:
    int hot_ = -1;
    int pressed_ = -1;
};
