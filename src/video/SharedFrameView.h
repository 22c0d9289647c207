#pragma once
// The preview area: shows the preview's picture, refreshed 15 times a second while shown, at the
// proportions the picture stands for. Without a source of its own choosing it shows the shared
// frame.

#include <QImage>
#include <QTimer>
#include <QWidget>

#include "PreviewFrames.h"

class SharedFrameView : public QWidget {
    Q_OBJECT
public:
    explicit SharedFrameView(QWidget* parent = nullptr);

    // Shows `source` (which must outlive this view), or the shared frame again for null.
    void SetSource(zavreo::PreviewFrames* source);

    // The picture last read (top row first), null before the first read.
    const QImage& CurrentImage() const { return image_; }

public slots:
    void Refresh();

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    zavreo::PreviewFrames own_;
    zavreo::PreviewFrames* source_ = &own_;
    zavreo::PreviewPicture picture_;
    QImage image_;
    QTimer timer_;
};
