#pragma once
// The skinned push button: drawn from PNG pictures for rest, mouse-over, pressed and an
// owner-controlled selected state, sized to its pictures. Clicks arrive as clicked().
// User-interface thread only.

#include <QAbstractButton>
#include <QColor>
#include <QPixmap>
#include <string_view>

#include "PngButtonFrames.h"

class CPngButton : public QAbstractButton {
    Q_OBJECT
public:
    explicit CPngButton(QWidget* parent = nullptr);

    // Three pictures: rest, over, pressed (mode 1).
    void SetImages(std::string_view normal, std::string_view over, std::string_view press);
    // Three pictures with a mode; mode 4 (or 7) makes C the selected picture drawn over A.
    void SetImages(std::string_view a, std::string_view b, std::string_view c, int mode);
    // One sprite holding every frame; mode 2, 3, 5 or 6.
    void SetSprite(std::string_view path, int mode);

    // The latched state of tabs and switches, set by the owner; repaints.
    void SetSelected(bool selected);
    bool IsSelected() const { return selected_; }

    // What the next paint draws.
    PngButtonFrame CurrentFrame() const;

    QSize sizeHint() const override { return frameSize_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void FinishSetting(int mode, QSize frame);
    QRect FrameRect(int frame) const;

    bool selected_ = false;
    QPixmap sprite_;
    QPixmap images_[3];
    QColor textColor_{126, 133, 139};
    int mode_ = 1;
    bool hover_ = false;
    bool tooltipMade_ = false;
    QSize frameSize_{0, 0};
};
