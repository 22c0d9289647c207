#include "CPngButton.h"

#include <QFontMetrics>
#include <QPainter>

#include "ResourcePaths.h"

namespace {

QPixmap LoadPicture(std::string_view path) {
    return QPixmap(Resources::LocalPath(path));
}

}  // namespace

CPngButton::CPngButton(QWidget* parent) : QAbstractButton(parent) {
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_Hover);
}

void CPngButton::SetImages(std::string_view normal, std::string_view over, std::string_view press) {
    SetImages(normal, over, press, 1);
}

void CPngButton::SetImages(std::string_view a, std::string_view b, std::string_view c, int mode) {
    images_[0] = LoadPicture(a);
    images_[1] = LoadPicture(b);
    images_[2] = LoadPicture(c);
    // A picture that does not load reads as 0 x 0.
    FinishSetting(mode, images_[0].size());
}

void CPngButton::SetSprite(std::string_view path, int mode) {
    sprite_ = LoadPicture(path);
    QSize frame = sprite_.size();
    const int count = SpriteFrameCount(mode);
    if (SpriteIsHorizontal(mode)) {
        frame.setWidth(frame.width() / count);
    } else {
        frame.setHeight(frame.height() / count);
    }
    FinishSetting(mode, frame);
}

void CPngButton::FinishSetting(int mode, QSize frame) {
    mode_ = mode;
    frameSize_ = frame;
    resize(frame);
    if (!tooltipMade_) {
        tooltipMade_ = true;
        if (!text().isEmpty()) {
            setToolTip(text());
        }
    }
    update();
}

void CPngButton::SetSelected(bool selected) {
    selected_ = selected;
    update();
}

PngButtonFrame CPngButton::CurrentFrame() const {
    return ChooseFrame(mode_, {isDown(), hover_, selected_});
}

QRect CPngButton::FrameRect(int frame) const {
    if (SpriteIsHorizontal(mode_)) {
        return QRect(QPoint(frame * frameSize_.width(), 0), frameSize_);
    }
    return QRect(QPoint(0, frame * frameSize_.height()), frameSize_);
}

void CPngButton::paintEvent(QPaintEvent*) {
    const bool threeImages = mode_ == 1 || mode_ == 4 || mode_ == 7;
    if (threeImages ? images_[0].isNull() && images_[1].isNull() && images_[2].isNull()
                    : sprite_.isNull()) {
        return;
    }
    QPainter painter(this);
    const PngButtonFrame frame = CurrentFrame();
    const QRect target(QPoint(0, 0), frameSize_);
    if (threeImages) {
        // Drawn at frame size without stretching: a larger picture is cut, a smaller one is not
        // grown.
        const QPixmap& first = images_[frame.image];
        painter.drawPixmap(QPoint(0, 0), first, target);
        if (frame.overlay >= 0) {
            painter.drawPixmap(QPoint(0, 0), images_[frame.overlay], target);
        }
    } else {
        painter.drawPixmap(QPoint(0, 0), sprite_, FrameRect(frame.image));
    }
    const QString caption = text();
    if (!caption.isEmpty()) {
        const QFontMetrics metrics(font());
        const double x = (frameSize_.width() - metrics.horizontalAdvance(caption)) * 0.5 - 8;
        const double y = (frameSize_.height() - metrics.height()) * 0.5 - 1;
        painter.setPen(textColor_);
        painter.drawText(QPointF(x, y + metrics.ascent()), caption);
    }
}

void CPngButton::enterEvent(QEnterEvent* event) {
    hover_ = true;
    update();
    QAbstractButton::enterEvent(event);
}

void CPngButton::leaveEvent(QEvent* event) {
    hover_ = false;
    update();
    QAbstractButton::leaveEvent(event);
}
