#include "ProgramIcon.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <algorithm>

#include "SkinPalette.h"

namespace ProgramIcon {

QImage Draw(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal s = size;
    // The tile: the skin's background, lighter at the top.
    const QRectF tile(s * 0.03, s * 0.03, s * 0.94, s * 0.94);
    QLinearGradient ground(tile.topLeft(), tile.bottomLeft());
    ground.setColorAt(0, Skin::Highlight());
    ground.setColorAt(1, Skin::Background());
    painter.setPen(Qt::NoPen);
    painter.setBrush(ground);
    painter.drawRoundedRect(tile, s * 0.2, s * 0.2);
    // A "Z" drawn as strokes, so that it looks the same whatever fonts are installed.
    QPainterPath z;
    z.moveTo(s * 0.28, s * 0.3);
    z.lineTo(s * 0.7, s * 0.3);
    z.lineTo(s * 0.3, s * 0.72);
    z.lineTo(s * 0.72, s * 0.72);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(
        QPen(Skin::Text(), std::max(1.5, s * 0.11), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.drawPath(z);
    // The red dot of a camera that is on air.
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(233, 84, 100));
    const qreal dot = std::max(3.0, s * 0.18);
    painter.drawEllipse(QRectF(s * 0.9 - dot, s * 0.1, dot, dot));
    return image;
}

QIcon Icon() {
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64}) {
        icon.addPixmap(QPixmap::fromImage(Draw(size)));
    }
    return icon;
}

}  // namespace ProgramIcon
