#pragma once
// Drawing helpers of the artwork generator: the flat dark skin, icon-font glyphs, CJK labels.

#include <QColor>
#include <QImage>
#include <QString>

namespace Canvas {

// Skin colours.
inline const QColor kBackground(44, 44, 53);
inline const QColor kPanel(36, 36, 44);
inline const QColor kHighlight(96, 96, 107);
inline const QColor kText(216, 216, 216);
inline const QColor kDimText(142, 143, 157);
inline const QColor kAccent(233, 84, 100);
inline const QColor kPressed(28, 28, 35);

enum class State { Normal, Over, Press, Selected };

// Loads the icon font and picks the CJK family; call once before drawing.
void Init();
QString CjkFamily();
QString IconFamily();

QImage Blank(int width, int height);  // transparent ARGB
// A flat button face for a state, with an optional icon glyph and label. The label shrinks to
// fit unless `labelSize` (pixels) fixes it, for rows of buttons whose labels must match.
QImage Button(int width, int height, State state, QChar glyph, const QString& label = {},
              bool round = false, int labelSize = 0);
// A tab: dark when normal, lighter when over, accent bar when selected.
QImage Tab(int width, int height, State state, const QString& label, QChar glyph = QChar());
// A glyph alone on transparent ground.
QImage Icon(int width, int height, QChar glyph, const QColor& colour);
// A panel background with an optional title.
QImage Panel(int width, int height, const QString& title = {}, bool rounded = true);
// A picture tile with a gradient and a label (thumbnails).
QImage Tile(int width, int height, const QColor& top, const QColor& bottom, const QString& label,
            QChar glyph = QChar());
// A label picture.
QImage Label(int width, int height, const QString& text, const QColor& colour, int pixelSize,
             bool bold = true);

}  // namespace Canvas
