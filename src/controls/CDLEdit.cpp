#include "CDLEdit.h"

#include <QPainter>

#include "SkinPalette.h"

CDLEdit::CDLEdit(QWidget* parent) : QLineEdit(parent) {
    QFont font(QStringLiteral("宋体"));
    font.setPointSize(12);
    setFont(font);
    setFrame(false);
    setTextMargins(4, 0, 4, 0);
    QPalette colours = palette();
    colours.setColor(QPalette::Base, Skin::Background());
    colours.setColor(QPalette::Text, Qt::white);
    setPalette(colours);
}

void CDLEdit::paintEvent(QPaintEvent* event) {
    QLineEdit::paintEvent(event);
    QPainter p(this);
    if (IsShowingPrompt()) {
        p.setPen(QColor(255, 0, 0));
        p.drawText(rect().adjusted(5, 0, -4, 0), Qt::AlignLeft | Qt::AlignVCenter,
                   QString::fromUtf8(kPrompt));
    }
    // Frames: black outside, light grey while the mouse is over the box.
    p.setPen(hovered_ ? QColor(155, 155, 155) : QColor(Qt::black));
    p.drawRect(rect().adjusted(0, 0, -1, -1));
    p.setPen(Qt::black);
    p.drawRect(rect().adjusted(1, 1, -2, -2));
}

void CDLEdit::enterEvent(QEnterEvent* event) {
    hovered_ = true;
    update();
    QLineEdit::enterEvent(event);
}

void CDLEdit::leaveEvent(QEvent* event) {
    hovered_ = false;
    update();
    QLineEdit::leaveEvent(event);
}
