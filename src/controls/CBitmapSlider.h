#pragma once
// The skinned slider: a channel and a thumb drawn from bitmap resources, the low side of the
// channel in an "active" bitmap, mouse dragging and keys. Changes reach the parent as queued
// SliderMoved / SliderReleased signals (the WM_SLIDER_MOVED / WM_SLIDER_RELEASED messages), each
// carrying the control id and the position at the time of the change.
// User-interface thread only.

#include <QPixmap>
#include <QWidget>

#include "SliderGeometry.h"

inline constexpr unsigned WM_SLIDER_MOVED = 0x0400 + 9425;
inline constexpr unsigned WM_SLIDER_RELEASED = 0x0400 + 9426;

class CBitmapSlider : public QWidget {
    Q_OBJECT
public:
    explicit CBitmapSlider(QWidget* parent = nullptr, int controlId = 0);

    int GetDlgCtrlID() const { return controlId_; }
    void SetDlgCtrlID(int id) { controlId_ = id; }

    // Channel and active channel; the channel's size becomes the slider's working size. False
    // (and neither kept) when one does not load.
    bool SetBitmapChannel(int channelId, int activeId);
    // Thumb, active thumb (while dragging) and disabled thumb; transparent by their top-left
    // colour. False when one does not load.
    bool SetBitmapThumb(int thumbId, int activeId, int disabledId);

    void SetRange(int minimum, int maximum);
    int GetRangeMin() const { return geometry().minimum; }
    int GetRangeMax() const { return geometry().maximum; }
    // Clamped into the range; repaints.
    void SetPos(int position);
    int GetPos() const { return position_; }
    void SetPageSize(int page) { page_ = page; }
    void SetMargin(int left, int top, int right, int bottom);
    void SetVertical(bool vertical);
    void DrawFocusRect(bool draw);

    // Centre of the thumb along the slider, in pixels.
    int ThumbCentre() const { return geometry().PositionToPixel(position_); }
    bool IsDragging() const { return dragging_; }

signals:
    void SliderMoved(int controlId, int position);
    void SliderReleased(int controlId, int position);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    SliderGeometry geometry() const;
    int Along(const QPointF& point) const;
    void DragTo(int along);
    void Post(bool released);
    void DrawChannel(QPainter& painter, int centre);

    int controlId_;
    int minimum_ = 0;
    int maximum_ = 100;
    int position_ = 0;
    int page_ = 20;
    int width_ = 0;
    int height_ = 0;
    int thumbWidth_ = 0;
    int thumbHeight_ = 0;
    int marginLeft_ = 0;
    int marginTop_ = 0;
    int marginRight_ = 0;
    int marginBottom_ = 0;
    int grabOffset_ = 0;
    bool vertical_ = false;
    bool drawFocus_ = false;
    bool dragging_ = false;
    QPixmap channel_;
    QPixmap activeChannel_;
    QPixmap thumb_;
    QPixmap activeThumb_;
    QPixmap disabledThumb_;
};
