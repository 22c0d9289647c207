#include "EffectsPage.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>

#include "ResourcePaths.h"
#include "SkinFont.h"

namespace zavreo::effects {

QFont LabelFont() {
    return SkinFont::Make(12, 600);
}

QLabel* MakeStatic(QWidget* parent, const QString& text, QRect where, QColor colour,
                   QColor ground) {
    auto* label = new QLabel(text, parent);
    label->setGeometry(where);
    label->setFont(LabelFont());
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    if (ground.isValid()) {
        palette.setColor(QPalette::Window, ground);
        label->setAutoFillBackground(true);
    }
    label->setPalette(palette);
    return label;
}

void PaintPicture(QPainter& painter, const char* path, const QRect& area) {
    const QPixmap picture(Resources::LocalPath(path));
    if (!picture.isNull()) {
        painter.drawPixmap(area, picture);
    }
}

PromoLine::PromoLine(QWidget* parent, QRect where)
    : QLabel(QStringLiteral("更多精彩特效，敬请期待"), parent) {
    setGeometry(where);
    setFont(LabelFont());
    setCursor(Qt::PointingHandCursor);
    QPalette palette = this->palette();
    palette.setColor(QPalette::WindowText, QColor(206, 203, 204));
    setPalette(palette);
}

void PromoLine::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
        QMessageBox box(QMessageBox::NoIcon, QString(), QStringLiteral("跳转到链接"),
                        QMessageBox::Ok, this);
        box.button(QMessageBox::Ok)->setText(QStringLiteral("确定"));
        box.exec();
    }
}

}  // namespace zavreo::effects
