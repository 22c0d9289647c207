#include "CBitmapSlider.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <cstdlib>

#include "BitmapResource.h"

CBitmapSlider::CBitmapSlider(QWidget* parent, int controlId)
    : QWidget(parent), controlId_(controlId) {
    setFocusPolicy(Qt::StrongFocus);
}

bool CBitmapSlider::SetBitmapChannel(int channelId, int activeId) {
    QPixmap channel = BitmapResource::Load(channelId);
    QPixmap active = BitmapResource::Load(activeId);
    if (channel.isNull() || active.isNull()) {
        return false;
    }
    channel_ = channel;
    activeChannel_ = active;
    width_ = channel_.width();
    height_ = channel_.height();
    update();
    return true;
}

bool CBitmapSlider::SetBitmapThumb(int thumbId, int activeId, int disabledId) {
    QPixmap thumb = BitmapResource::Load(thumbId);
    QPixmap active = BitmapResource::Load(activeId);
    QPixmap disabled = BitmapResource::Load(disabledId);
    if (thumb.isNull() || active.isNull() || disabled.isNull()) {
        return false;
    }
    thumb_ = BitmapResource::TransparentByCorner(thumb);
    activeThumb_ = BitmapResource::TransparentByCorner(active);
    disabledThumb_ = BitmapResource::TransparentByCorner(disabled);
    thumbWidth_ = thumb_.width();
    thumbHeight_ = thumb_.height();
    if (channel_.isNull()) {
        width_ = width();
        height_ = height();
    }
    update();
    return true;
}

void CBitmapSlider::SetRange(int minimum, int maximum) {
    minimum_ = minimum;
    maximum_ = maximum;
    position_ = geometry().ClampPosition(position_);
    update();
}

void CBitmapSlider::SetPos(int position) {
    position_ = geometry().ClampPosition(position);
    update();
}

void CBitmapSlider::SetMargin(int left, int top, int right, int bottom) {
    marginLeft_ = left;
    marginTop_ = top;
    marginRight_ = right;
    marginBottom_ = bottom;
    update();
}

void CBitmapSlider::SetVertical(bool vertical) {
    vertical_ = vertical;
    update();
}

void CBitmapSlider::DrawFocusRect(bool draw) {
    drawFocus_ = draw;
    update();
}

SliderGeometry CBitmapSlider::geometry() const {
    SliderGeometry g;
    g.minimum = minimum_;
    g.maximum = maximum_;
    if (vertical_) {
        g.length = height_;
        g.thumbLength = thumbHeight_;
        g.marginLow = marginTop_;
        g.marginHigh = marginBottom_;
    } else {
        g.length = width_;
        g.thumbLength = thumbWidth_;
        g.marginLow = marginLeft_;
        g.marginHigh = marginRight_;
    }
    return g;
}

int CBitmapSlider::Along(const QPointF& point) const {
    return int(vertical_ ? point.y() : point.x());
}

void CBitmapSlider::Post(bool released) {
    const int id = controlId_;
    const int position = position_;
    // Queued like a posted message: the receiver runs after this slider has updated itself.
    QMetaObject::invokeMethod(
        this,
        [this, released, id, position] {
            if (released) {
                emit SliderReleased(id, position);
            } else {
                emit SliderMoved(id, position);
            }
        },
        Qt::QueuedConnection);
}

void CBitmapSlider::mousePressEvent(QMouseEvent* event) {
    if (!isEnabled() || event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    dragging_ = true;
    const int along = Along(event->position());
    const int d = along - ThumbCentre();
    const int halfThumb = (vertical_ ? thumbHeight_ : thumbWidth_) / 2;
    grabOffset_ = std::abs(d) > halfThumb ? 0 : d;
    DragTo(along);
    update();
}

void CBitmapSlider::mouseMoveEvent(QMouseEvent* event) {
    if (dragging_ && isEnabled()) {
        DragTo(Along(event->position()));
    }
}

void CBitmapSlider::DragTo(int along) {
    const SliderGeometry g = geometry();
    const int wanted = g.ClampCentre(along - grabOffset_);
    if (wanted != g.PositionToPixel(position_)) {
        SetPos(g.PixelToPosition(wanted));
        Post(false);
    }
}

void CBitmapSlider::mouseReleaseEvent(QMouseEvent* event) {
    if (!isEnabled() || event->button() != Qt::LeftButton || !dragging_) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    dragging_ = false;
    update();
    Post(true);
}

void CBitmapSlider::keyPressEvent(QKeyEvent* event) {
    if (!isEnabled()) {
        QWidget::keyPressEvent(event);
        return;
    }
    int position = position_;
    switch (event->key()) {
        case Qt::Key_PageUp:
            position -= page_;
            break;
        case Qt::Key_PageDown:
            position += page_;
            break;
        case Qt::Key_End:
            position = maximum_;
            break;
        case Qt::Key_Home:
            position = minimum_;
            break;
        case Qt::Key_Right:
        case Qt::Key_Down:
            position += 1;
            break;
        case Qt::Key_Left:
        case Qt::Key_Up:
            position -= 1;
            break;
        default:
            QWidget::keyPressEvent(event);
            return;
    }
    SetPos(position);
    Post(true);
}

void CBitmapSlider::changeEvent(QEvent* event) {
    // Disabling ends a drag in progress; the next release is not reported.
    if (event->type() == QEvent::EnabledChange && !isEnabled()) {
        dragging_ = false;
        update();
    }
    QWidget::changeEvent(event);
}

void CBitmapSlider::DrawChannel(QPainter& painter, int centre) {
    if (channel_.isNull()) {
        return;
    }
    const QPixmap& low = activeChannel_.isNull() ? channel_ : activeChannel_;
    if (vertical_) {
        painter.drawTiledPixmap(QRect(0, 0, width_, centre), low);
        painter.drawTiledPixmap(QRect(0, centre, width_, height_ - centre), channel_,
                                QPoint(0, centre % channel_.height()));
    } else {
        painter.drawTiledPixmap(QRect(0, 0, centre, height_), low);
        painter.drawTiledPixmap(QRect(centre, 0, width_ - centre, height_), channel_,
                                QPoint(centre % channel_.width(), 0));
    }
}

void CBitmapSlider::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const int centre = ThumbCentre();
    DrawChannel(painter, centre);
    const bool enabled = isEnabled();
    if (!thumb_.isNull() && (enabled || !disabledThumb_.isNull())) {
        const QPixmap& picture = dragging_ && !activeThumb_.isNull()  ? activeThumb_
                                 : enabled || disabledThumb_.isNull() ? thumb_
                                                                      : disabledThumb_;
        const QPoint at = vertical_ ? QPoint(marginLeft_, centre - thumbHeight_ / 2)
                                    : QPoint(centre - thumbWidth_ / 2, marginTop_);
        painter.drawPixmap(at, picture);
    }
    if (hasFocus() && drawFocus_ && enabled) {
        painter.setPen(QPen(palette().color(QPalette::WindowText), 1, Qt::DotLine));
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }
}
