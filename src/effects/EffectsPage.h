#pragma once
// What the four effects pages share: their dialog-unit placement, the label font, static texts,
// the promotional line and the pictures they stretch over their ground.

#include <QLabel>
#include <QString>

#include "DialogUnits.h"

namespace zavreo::effects {

// Pages are laid out in the right-hand panels' units.
inline QRect Units(int x, int y, int width, int height) {
    return PanelUnits::Rect(x, y, width, height);
}
inline QPoint UnitsAt(int x, int y) {
    return QPoint(PanelUnits::X(x), PanelUnits::Y(y));
}

// 12 pixels high, weight 600, from the program's font.
QFont LabelFont();

// A static text in `colour` on a transparent ground, or on `ground` when it is valid.
QLabel* MakeStatic(QWidget* parent, const QString& text, QRect where, QColor colour,
                   QColor ground = QColor());

// Draws a program picture (".\\images\\..." or "images/...") stretched over `area`.
void PaintPicture(QPainter& painter, const char* path, const QRect& area);

// The one-line promotional text: a click tells where the link would lead.
class PromoLine : public QLabel {
    Q_OBJECT
public:
    PromoLine(QWidget* parent, QRect where);

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
};

inline constexpr char kPromoIcon[] = "images/right/Special/ad_130.png";

}  // namespace zavreo::effects
