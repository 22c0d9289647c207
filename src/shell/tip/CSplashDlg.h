#pragma once
// The splash window shown from the start until the main window has finished its initialisation.
//
// Windows on this platform all live on the interface thread, so instead of a splash thread the
// blocking start-up work (the update check's download) runs on a worker thread through
// RunOffInterfaceThread while the interface thread keeps painting the splash.

#include <QPixmap>
#include <QWidget>
#include <functional>

class CSplashDlg : public QWidget {
    Q_OBJECT
public:
    explicit CSplashDlg(QWidget* parent = nullptr);

    // Places itself over the primary screen's work area and shows itself.
    void ShowSplash();
    // What the main window's close request does: the splash hides and stays for nothing.
    void Dismiss() { hide(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPixmap picture_;
};

// Runs `work` on a worker thread and keeps the interface thread's events flowing until it has
// finished, so windows (the splash above all) keep painting. `work` must not touch widgets.
// Interface thread only.
void RunOffInterfaceThread(const std::function<void()>& work);
