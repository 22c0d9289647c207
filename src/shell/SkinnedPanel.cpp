#include "SkinnedPanel.h"

#include <QPainter>

#include "SkinPalette.h"

SkinnedPanel::SkinnedPanel(QWidget* parent, const QString& background)
    : QWidget(parent), background_(background) {}

void SkinnedPanel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Skin::Background());
    if (!background_.isNull()) {
        painter.drawPixmap(rect(), background_);
    }
}
