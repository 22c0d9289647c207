#include "SharedFrameView.h"

#include <QPainter>

SharedFrameView::SharedFrameView(QWidget* parent)
    : QWidget(parent), frame_(zavreo::kFrameBytes) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    timer_.setInterval(1000 / 15);
    connect(&timer_, &QTimer::timeout, this, &SharedFrameView::Refresh);
    timer_.start();
    Refresh();
}

void SharedFrameView::Refresh() {
    if (!reader_.CopyFrame(frame_.data())) {
        return;
    }
    // The block is bottom row first; QImage wants the top row first.
    const QImage bottomUp(frame_.data(), zavreo::kFrameWidth, zavreo::kFrameHeight,
                          zavreo::kFrameStride, QImage::Format_BGR888);
    image_ = bottomUp.mirrored(false, true);
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
