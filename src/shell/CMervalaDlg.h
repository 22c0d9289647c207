#pragma once
// The main window. Titled "Zavreo" so a later start can find and raise it.

#include <QDialog>

class SharedFrameView;

class CMervalaDlg : public QDialog {
    Q_OBJECT
public:
    explicit CMervalaDlg(QWidget* parent = nullptr);

public slots:
    // Restores the window and brings it to the front (tray click, a later start).
    void ShowAndRaise();

private:
    SharedFrameView* preview_;
};
