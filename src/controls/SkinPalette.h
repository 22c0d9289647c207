#pragma once
// Colours of the dark skin shared by every skinned window.

#include <QColor>

namespace Skin {

inline QColor Background() {
    return QColor(44, 44, 53);
}
inline QColor Highlight() {
    return QColor(96, 96, 107);
}
inline QColor Text() {
    return QColor(216, 216, 216);
}
inline QColor DimText() {
    return QColor(142, 143, 157);
}

// The skin's thin dark vertical scroll bar, as a style sheet for a QScrollBar or a scroll area.
inline constexpr char kScrollBarStyle[] =
    "QScrollBar:vertical { background: rgb(44,44,53); width: 12px; margin: 0; }"
    "QScrollBar::handle:vertical { background: rgb(96,96,107); min-height: 24px;"
    " border-radius: 4px; margin: 2px; }"
    "QScrollBar::add-line:vertical, QScrollBar::sub-line:vertical { height: 0; }"
    "QScrollBar::add-page:vertical, QScrollBar::sub-page:vertical { background: none; }";

// Windows colour values carry red in the low byte: 0x00BBGGRR.
inline QColor FromColorRef(unsigned colorRef) {
    return QColor(colorRef & 0xFF, (colorRef >> 8) & 0xFF, (colorRef >> 16) & 0xFF);
}
inline unsigned ToColorRef(const QColor& color) {
    return unsigned(color.red()) | unsigned(color.green()) << 8 | unsigned(color.blue()) << 16;
}

}  // namespace Skin
