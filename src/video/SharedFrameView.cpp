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
    const QSize size(picture_.width, picture_.height);
    if (image_.size() != size) {
        image_ = QImage(size, QImage::Format_RGB32);
    }
    // One pass into the kept image, turning a bottom-up frame the right way up on the way, in the
    // format the painter scales without converting it first.
    const size_t rowBytes = static_cast<size_t>(picture_.width) * 3;
    for (int y = 0; y < picture_.height; ++y) {
        const int row = picture_.bottomUp ? picture_.height - 1 - y : y;
        const uint8_t* __restrict from = picture_.pixels.data() + rowBytes * row;
        auto* __restrict to = reinterpret_cast<QRgb*>(image_.scanLine(y));
        for (int x = 0; x < picture_.width; ++x, from += 3) {
            to[x] = qRgb(from[2], from[1], from[0]);
        }
    }
    update();
}

void SharedFrameView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    if (image_.isNull()) {
        return;
    }
    const QSize size =
        QSize(picture_.shownWidth, picture_.shownHeight).scaled(this->size(), Qt::KeepAspectRatio);
    const QRect target(QPoint((width() - size.width()) / 2, (height() - size.height()) / 2), size);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(target, image_);
}
