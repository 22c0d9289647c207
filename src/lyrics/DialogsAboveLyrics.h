#pragma once
// The desktop lyrics and their bar stay above every window, the program's own dialogs included,
// which they could hide (a file chooser's Open button). While a dialog of the program is up
// (a modal one, one owned by another window, or the lyrics search) they drop to the normal
// layer, where the dialog, shown last, lies above them; they go back on top once no such dialog
// is up. Watches every window's showing and hiding through an application event filter.
// Interface thread only.

#include <QObject>
#include <QPointer>
#include <QWidget>

class DialogsAboveLyrics : public QObject {
    Q_OBJECT
public:
    DialogsAboveLyrics(QWidget& lyrics, QWidget& bar, QWidget& search);

    // Whether the lyrics are on top now.
    bool LyricsOnTop() const { return onTop_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool ADialogIsUp() const;
    void Update();

    QWidget& lyrics_;
    QWidget& bar_;
    QWidget& search_;
    bool onTop_ = true;
    bool updateQueued_ = false;
};
