#include "CColorWnd.h"

#include <QApplication>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QToolTip>

#include "CColorButton.h"
#include "SkinPalette.h"

namespace {

const QColor kDark(160, 160, 160);

QRect ToQRect(const CellRect& r) {
    return QRect(QPoint(r.left, r.top), QPoint(r.right - 1, r.bottom - 1));
}

// Sunken: dark top and left, white bottom and right; raised the other way round.
void Frame(QPainter& p, const QRect& r, bool sunken) {
    const QColor topLeft = sunken ? kDark : Qt::white;
    const QColor bottomRight = sunken ? Qt::white : kDark;
    p.setPen(topLeft);
    p.drawLine(r.topLeft(), r.topRight());
    p.drawLine(r.topLeft(), r.bottomLeft());
    p.setPen(bottomRight);
    p.drawLine(r.bottomLeft(), r.bottomRight());
    p.drawLine(r.topRight(), r.bottomRight());
}

}  // namespace

CColorWnd::CColorWnd(CColorButton* owner, unsigned initialColor)
    : QWidget(owner, Qt::Popup), owner_(owner), initialColor_(initialColor) {
    setAttribute(Qt::WA_DeleteOnClose);
    // A click on the owner button while open only closes the pop-up (the click toggles).
    setAttribute(Qt::WA_NoMouseReplay);
    setMouseTracking(true);
    setFixedSize(ColorGrid::kWidth, ColorGrid::kHeight);
    if (owner) {
        move(owner->mapToGlobal(QPoint(0, owner->height())));
    } else if (const QScreen* screen = QApplication::primaryScreen()) {
        move(screen->availableGeometry().center() - rect().center());
    }
}

void CColorWnd::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QColor face = palette().color(QPalette::Button);
    p.fillRect(rect(), face);
    p.setPen(kDark);
    p.drawLine(4, height() - 29, width() - 4, height() - 29);
    p.setPen(Qt::white);
    p.drawLine(4, height() - 28, width() - 4, height() - 28);
    const auto& table = ColorTable();
    for (int item = 0; item < ColorGrid::kItemCount; ++item) {
        const QRect r = ToQRect(ColorGrid::ItemRect(item));
        const bool other = item == ColorGrid::kOtherItem;
        const bool selected = !other && table[item].colorRef == initialColor_;
        p.fillRect(r, selected ? QColor(Qt::white) : face);
        if (item == grid_.PressedItem() || selected) {
            Frame(p, r, true);
        } else if (item == grid_.HotItem()) {
            Frame(p, r, false);
        }
        if (other) {
            p.setPen(palette().color(QPalette::ButtonText));
            p.drawText(r, Qt::AlignCenter, QStringLiteral("其他颜色..."));
        } else {
            const QRect swatch = r.adjusted(3, 3, -3, -3);
            p.fillRect(swatch, Skin::FromColorRef(table[item].colorRef));
            p.setPen(kDark);
            p.drawRect(swatch.adjusted(0, 0, -1, -1));
        }
    }
}

void CColorWnd::mouseMoveEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    if (grid_.MouseMove(at.x(), at.y())) {
        update();
    }
}

void CColorWnd::mousePressEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    if (!rect().contains(at)) {
        // A click outside closes the pop-up without a choice.
        close();
        return;
    }
    if (grid_.MousePress(at.x(), at.y())) {
        update();
    }
}

void CColorWnd::mouseReleaseEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    const ColorGrid::Result result = grid_.MouseRelease(at.x(), at.y());
    update();
    if (result.choice == ColorGrid::Choice::None) {
        return;
    }
    if (owner_) {
        CColorButton* owner = owner_;
        if (result.choice == ColorGrid::Choice::Other) {
            // Queued: the colour dialog opens after the pop-up has gone.
            QMetaObject::invokeMethod(owner, &CColorButton::ChooseOtherColor, Qt::QueuedConnection);
        } else {
            owner->SetColor(result.colorRef);
        }
    }
    close();
}

void CColorWnd::leaveEvent(QEvent* event) {
    grid_.MouseLeave();
    update();
    QWidget::leaveEvent(event);
}

bool CColorWnd::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const int item = ColorGrid::HitTest(help->pos().x(), help->pos().y());
        if (item >= 0 && item < ColorGrid::kOtherItem) {
            QToolTip::showText(help->globalPos(), QString::fromUtf8(ColorTable()[item].name), this,
                               ToQRect(ColorGrid::ItemRect(item)));
        } else {
            QToolTip::hideText();
        }
        return true;
    }
    return QWidget::event(event);
}
