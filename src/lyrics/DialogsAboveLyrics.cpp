#include "DialogsAboveLyrics.h"

#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QWindow>

DialogsAboveLyrics::DialogsAboveLyrics(QWidget& lyrics, QWidget& bar, QWidget& search)
    : QObject(&lyrics), lyrics_(lyrics), bar_(bar), search_(search) {
    qApp->installEventFilter(this);
}

bool DialogsAboveLyrics::eventFilter(QObject* watched, QEvent* event) {
    if ((event->type() == QEvent::Show || event->type() == QEvent::Hide) &&
        watched->isWidgetType() && static_cast<QWidget*>(watched)->isWindow() && !updateQueued_) {
        // After the event, once the window's visibility is settled.
        updateQueued_ = true;
        QMetaObject::invokeMethod(this, &DialogsAboveLyrics::Update, Qt::QueuedConnection);
    }
    return false;
}

bool DialogsAboveLyrics::ADialogIsUp() const {
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window == &bar_ || !window->isVisible()) {
            continue;
        }
        const auto* dialog = qobject_cast<QDialog*>(window);
        if (window == &search_ ||
            (dialog != nullptr && (dialog->isModal() || dialog->parentWidget() != nullptr))) {
            return true;
        }
    }
    return false;
}

void DialogsAboveLyrics::Update() {
    updateQueued_ = false;
    const bool onTop = !ADialogIsUp();
    if (onTop == onTop_) {
        return;
    }
    onTop_ = onTop;
    // On the native windows: QWidget::setWindowFlags would hide them.
    for (QWidget* window : {&lyrics_, &bar_}) {
        if (QWindow* handle = window->windowHandle()) {
            handle->setFlag(Qt::WindowStaysOnTopHint, onTop);
        }
    }
}
