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

// The right-hand panels (and their pages) are 263 x 339 units drawn in a 390 x 508 frame: one
// scale for all of them, about 1.48 x 1.5 pixels per unit, so every control stays inside its page.
namespace PanelUnits {

inline constexpr int kWidthUnits = 263;
inline constexpr int kHeightUnits = 339;
inline constexpr int kWidthPixels = 390;
inline constexpr int kHeightPixels = 508;

constexpr int X(int units) {
    return (units * kWidthPixels * 2 + kWidthUnits) / (2 * kWidthUnits);
}
constexpr int Y(int units) {
    return (units * kHeightPixels * 2 + kHeightUnits) / (2 * kHeightUnits);
}
constexpr QRect Rect(int x, int y, int width, int height) {
    const int left = X(x);
    const int top = Y(y);
    return QRect(left, top, X(x + width) - left, Y(y + height) - top);
}

static_assert(X(kWidthUnits) == kWidthPixels && Y(kHeightUnits) == kHeightPixels);

}  // namespace PanelUnits
