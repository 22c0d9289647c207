#include "ColorTable.h"

namespace {

constexpr unsigned Rgb(unsigned r, unsigned g, unsigned b) {
    return r | g << 8 | b << 16;
}

}  // namespace

const std::array<NamedColor, 32>& ColorTable() {
    static const std::array<NamedColor, 32> table = {{
        {"黑色", Rgb(0, 0, 0)},       {"藏青", Rgb(0, 0, 128)},     {"墨绿", Rgb(0, 128, 0)},
        {"深青", Rgb(0, 128, 128)},   {"红褐", Rgb(128, 0, 0)},     {"紫红", Rgb(128, 0, 128)},
        {"褐绿", Rgb(128, 128, 0)},   {"浅灰", Rgb(192, 192, 192)}, {"灰色", Rgb(128, 128, 128)},
        {"蓝色", Rgb(0, 0, 255)},     {"绿色", Rgb(0, 255, 0)},     {"艳青", Rgb(0, 255, 255)},
        {"红色", Rgb(255, 0, 0)},     {"品红", Rgb(255, 0, 255)},   {"黄色", Rgb(255, 255, 0)},
        {"白色", Rgb(255, 255, 255)}, {"蓝灰", Rgb(128, 128, 255)}, {"藏蓝", Rgb(88, 48, 224)},
        {"嫩绿", Rgb(128, 224, 0)},   {"青绿", Rgb(0, 224, 128)},   {"黄褐", Rgb(192, 96, 0)},
        {"粉红", Rgb(255, 168, 255)}, {"嫩黄", Rgb(216, 216, 0)},   {"银白", Rgb(236, 236, 236)},
        {"紫色", Rgb(144, 0, 255)},   {"天蓝", Rgb(0, 136, 255)},   {"灰绿", Rgb(128, 160, 128)},
        {"青蓝", Rgb(0, 96, 192)},    {"橙黄", Rgb(255, 128, 0)},   {"桃红", Rgb(255, 80, 128)},
        {"芙红", Rgb(255, 128, 192)}, {"深灰", Rgb(96, 96, 96)},
    }};
    return table;
}

CellRect ColorGrid::ItemRect(int item) {
    if (item == kOtherItem) {
        return {1, 97, 125, 118};
    }
    const int x = (item % kColumns) * kCellSize;
    const int y = (item / kColumns) * kCellSize;
    return {x, y, x + kCellSize, y + kCellSize};
}

int ColorGrid::HitTest(int x, int y) {
    for (int item = 0; item < kItemCount; ++item) {
        if (ItemRect(item).Contains(x, y)) {
            return item;
        }
    }
    return -1;
}

bool ColorGrid::MouseMove(int x, int y) {
    const int item = HitTest(x, y);
    if (item == hot_) {
        return false;
    }
    hot_ = item;
    return true;
}

bool ColorGrid::MousePress(int x, int y) {
    const int item = HitTest(x, y);
    const bool changed = item != pressed_;
    pressed_ = item;
    return changed;
}

ColorGrid::Result ColorGrid::MouseRelease(int x, int y) {
    const int pressed = pressed_;
    pressed_ = -1;
    if (pressed < 0 || HitTest(x, y) != pressed) {
        return {};
    }
    if (pressed == kOtherItem) {
        return {Choice::Other, 0};
    }
    return {Choice::Color, ColorTable()[pressed].colorRef};
}

void ColorGrid::MouseLeave() {
    hot_ = -1;
    pressed_ = -1;
}
