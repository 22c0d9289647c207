#pragma once
// The message tip: one small skinned window with a line of text and an OK button. Showing it
// again while it is up only replaces the text; OK, Escape and the window manager's close all
// hide it, and its body drags it. A long text makes the window taller, up to the screen's
// height, beyond which it scrolls. Lives on the interface thread; ShowTip may be called from
// any thread.

#include <QDialog>
#include <QPixmap>

#include "BodyDrag.h"
#include "TipTexts.h"

class CPngButton;
class QPlainTextEdit;

class CXiaoXiTiShi : public QDialog {
    Q_OBJECT
public:
    explicit CXiaoXiTiShi(QWidget* parent = nullptr);

    // Sets the text and shows the tip. From a worker thread the call is queued to the interface
    // thread, carrying its own copy of the text.
    void ShowTip(const QString& text);
    void ShowTip(const char* utf8Text) { ShowTip(QString::fromUtf8(utf8Text)); }
    QString Text() const;
    CPngButton* OkButton() const { return ok_; }

signals:
    // The tip was put away (its OK, Escape, the window manager's close).
    void Dismissed();

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    // Height the text takes wrapped to `width`, frame included.
    int TextHeight(int width) const;
    void FitText();

    QPixmap background_;
    QPlainTextEdit* text_;
    CPngButton* ok_;
    bool centred_ = false;
    // Pixels added below the picture's text area for a long text.
    int grow_ = 0;
    BodyDrag drag_;
};
