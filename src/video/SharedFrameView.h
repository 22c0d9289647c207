#pragma once
// Shows the shared frame, refreshed 15 times a second, keeping the picture's aspect.

#include <QImage>
#include <QTimer>
#include <QWidget>
#include <vector>

#include "SharedFrame.h"

class SharedFrameView : public QWidget {
    Q_OBJECT
public:
    explicit SharedFrameView(QWidget* parent = nullptr);

    // The picture last read (top row first), null before the first read.
    const QImage& CurrentImage() const { return image_; }

public slots:
    void Refresh();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    zavreo::SharedFrameReader reader_;
    std::vector<uint8_t> frame_;
    QImage image_;
    QTimer timer_;
};
