#pragma once
// Dialog-unit placements of the window templates in pixels. The templates' dialog font has base
// units of 7 x 15 pixels: one horizontal unit is 7/4 pixel and one vertical unit 15/8 pixel,
// rounded to the nearest pixel (the 256 x 17 progress slider holds its 450 x 30 bitmap).

#include <QRect>

namespace DialogUnits {

constexpr int X(int units) {
    return (units * 7 * 2 + 4) / 8;
}
constexpr int Y(int units) {
    return (units * 15 * 2 + 8) / 16;
}
constexpr QRect Rect(int x, int y, int width, int height) {
    return QRect(X(x), Y(y), X(width), Y(height));
}

}  // namespace DialogUnits
