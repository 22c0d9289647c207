#pragma once
// Moves a frameless window when its body (not a control) is dragged with the left button: the
// window manager moves it when it can, else the window follows the mouse itself.

#include <QMouseEvent>
#include <QPoint>
#include <QWidget>
#include <QWindow>

class BodyDrag {
public:
    void Press(QWidget& window, const QMouseEvent& event) {
        following_ = false;
        if (event.button() != Qt::LeftButton) {
            return;
        }
        if (window.windowHandle() != nullptr && window.windowHandle()->startSystemMove()) {
            return;
        }
        following_ = true;
        offset_ = event.globalPosition().toPoint() - window.frameGeometry().topLeft();
    }
    void Move(QWidget& window, const QMouseEvent& event) {
        if (following_ && (event.buttons() & Qt::LeftButton)) {
            window.move(event.globalPosition().toPoint() - offset_);
        }
    }

private:
    bool following_ = false;
    QPoint offset_;
};
