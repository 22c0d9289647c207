#pragma once
// Moves a frameless window when its body (not a control) is dragged with the left button: the
// window manager moves it when it can, else the window follows the mouse itself. The drag ends
// when the button is released.

#include <QGuiApplication>
#include <QMouseEvent>
#include <QPoint>
#include <QStyleHints>
#include <QWidget>
#include <QWindow>

class BodyDrag {
public:
    void Press(QWidget& window, const QMouseEvent& event) {
        following_ = false;
        pressed_ = event.button() == Qt::LeftButton;
        pressPoint_ = event.globalPosition().toPoint();
        offset_ = pressPoint_ - window.frameGeometry().topLeft();
    }
    // The drag starts only once the pointer moves with the button held: a window manager's move
    // started by a mere click would follow the pointer until the next click.
    void Move(QWidget& window, const QMouseEvent& event) {
        if (!pressed_ || !(event.buttons() & Qt::LeftButton)) {
            Release();
            return;
        }
        const QPoint point = event.globalPosition().toPoint();
        if (!following_) {
            if ((point - pressPoint_).manhattanLength() <
                QGuiApplication::styleHints()->startDragDistance()) {
                return;
            }
            if (window.windowHandle() != nullptr && window.windowHandle()->startSystemMove()) {
                pressed_ = false;
                return;
            }
            following_ = true;
        }
        window.move(point - offset_);
    }
    void Release() { pressed_ = following_ = false; }

private:
    bool pressed_ = false;
    bool following_ = false;
    QPoint pressPoint_;
    QPoint offset_;
};
