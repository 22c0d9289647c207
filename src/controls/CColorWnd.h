#pragma once
// The colour picker's pop-up: 32 colour cells in rows of 7 and an other-colour row. Closes on a
// choice or when it loses activation (a click elsewhere). User-interface thread only.

#include <QWidget>

#include "ColorTable.h"

class CColorButton;

class CColorWnd : public QWidget {
    Q_OBJECT
public:
    // Opens under the owner button (or centred in the work area without one).
    CColorWnd(CColorButton* owner, unsigned initialColor);

    const ColorGrid& Grid() const { return grid_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    bool event(QEvent* event) override;

private:
    CColorButton* owner_;
    unsigned initialColor_;
    ColorGrid grid_;
};
