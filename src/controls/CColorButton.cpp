#include "CColorButton.h"

#include <QColorDialog>
#include <QPainter>

#include "BitmapResource.h"
#include "CColorWnd.h"
#include "SkinPalette.h"

CColorButton::CColorButton(QWidget* parent, int controlId)
    : QAbstractButton(parent), controlId_(controlId), arrow_(BitmapResource::Load(183)) {
    connect(this, &QAbstractButton::clicked, this, &CColorButton::TogglePopup);
}

void CColorButton::SetColor(unsigned colorRef) {
    if (colorRef == color_) {
        return;
    }
    color_ = colorRef;
    if (callback_) {
        callback_(colorRef);
    }
    update();
    const int id = controlId_;
    QMetaObject::invokeMethod(
        this, [this, id] { emit ColorChanged(id, kColorChangedCode); }, Qt::QueuedConnection);
}

CColorWnd* CColorButton::Popup() const {
    return popup_;
}

void CColorButton::TogglePopup() {
    if (popup_) {
        popup_->close();
        return;
    }
    popup_ = new CColorWnd(this, color_);
    popup_->show();
}

void CColorButton::ChooseOtherColor() {
    const QColor chosen = QColorDialog::getColor(Skin::FromColorRef(color_), this);
    if (chosen.isValid()) {
        SetColor(Skin::ToColorRef(chosen));
    }
}

void CColorButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), Qt::black);
    const QRect swatch(0, 0, std::max(0, width() - 17), height());
    p.fillRect(swatch, QColor(96, 96, 96));
    p.fillRect(swatch.adjusted(2, 2, -2, -2), Skin::FromColorRef(color_));
    if (!arrow_.isNull()) {
        p.drawPixmap(width() - arrow_.width(), 0, arrow_);
    }
}
