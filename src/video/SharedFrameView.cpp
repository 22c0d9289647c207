#include "SharedFrameView.h"

#include <QPainter>

SharedFrameView::SharedFrameView(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    timer_.setInterval(1000 / 15);
    connect(&timer_, &QTimer::timeout, this, &SharedFrameView::Refresh);
    Refresh();
}

// Reading runs only while the area is on screen: a hidden preview (camera closed, songs view)
// would otherwise copy and flip a whole frame 15 times a second for nobody.
void SharedFrameView::showEvent(QShowEvent*) {
    Refresh();
    timer_.start();
}

void SharedFrameView::hideEvent(QHideEvent*) {
    timer_.stop();
}

void SharedFrameView::SetSource(zavreo::PreviewFrames* source) {
    source_ = source != nullptr ? source : &own_;
    Refresh();
}

void SharedFrameView::Refresh() {
    if (!source_->Copy(&picture_)) {
        // Nothing to show: draw nothing rather than an old picture.
        if (!image_.isNull()) {
            image_ = QImage();
            update();
        }
        return;
    }
    const QImage frame(picture_.pixels.data(), picture_.width, picture_.height, picture_.width * 3,
                       QImage::Format_BGR888);
    // The shared frame is bottom row first; QImage wants the top row first.
    image_ = picture_.bottomUp ? frame.mirrored(false, true) : frame.copy();
    update();
}

void SharedFrameView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    if (image_.isNull()) {
        return;
    }
    const QSize size = image_.size().scaled(this->size(), Qt::KeepAspectRatio);
    const QRect target(QPoint((width() - size.width()) / 2, (height() - size.height()) / 2), size);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(target, image_);
}
