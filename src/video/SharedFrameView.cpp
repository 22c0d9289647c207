#include "SharedFrameView.h"

#include <QPainter>
#include <cstring>

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
        image_ = QImage(size, QImage::Format_BGR888);
    }
    // One copy into the kept image, turning a bottom-up frame the right way up on the way.
    const size_t rowBytes = static_cast<size_t>(picture_.width) * 3;
    for (int y = 0; y < picture_.height; ++y) {
        const int row = picture_.bottomUp ? picture_.height - 1 - y : y;
        std::memcpy(image_.scanLine(y), picture_.pixels.data() + rowBytes * row, rowBytes);
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
