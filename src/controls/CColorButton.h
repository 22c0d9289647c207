#pragma once
// The drop-down colour chooser: shows the current colour with an arrow and opens CColorWnd on a
// click. Colours are Windows colour values (0x00BBGGRR). User-interface thread only.

#include <QAbstractButton>
#include <QPixmap>
#include <QPointer>
#include <functional>

class CColorWnd;

class CColorButton : public QAbstractButton {
    Q_OBJECT
public:
    // The change notification's code, as the parent receives it with the control id.
    static constexpr int kColorChangedCode = 100;

    explicit CColorButton(QWidget* parent = nullptr, int controlId = 0);

    int GetDlgCtrlID() const { return controlId_; }
    void SetDlgCtrlID(int id) { controlId_ = id; }

    // A real change stores the colour, calls the change callback, repaints and queues
    // ColorChanged; setting the current colour again does nothing.
    void SetColor(unsigned colorRef);
    unsigned GetColor() const { return color_; }
    // Called with the new colour on every real change; set once by the owner.
    void SetChangeCallback(std::function<void(unsigned)> callback) {
        callback_ = std::move(callback);
    }

    // The open pop-up, if any.
    CColorWnd* Popup() const;

public slots:
    // Opens the pop-up, or closes it when it is open.
    void TogglePopup();
    // The other-colour row: the colour dialog, modal; OK sets its colour.
    void ChooseOtherColor();

signals:
    // Queued like a posted command: control id and notification code 100.
    void ColorChanged(int controlId, int code);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int controlId_;
    unsigned color_ = 0;
    std::function<void(unsigned)> callback_;
    QPointer<CColorWnd> popup_;
    QPixmap arrow_;
};
