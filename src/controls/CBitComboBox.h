#pragma once
// The dark drop-down list of the subtitle and camera panels: face and items painted in the skin's
// colours with the program font. Used like a QComboBox. User-interface thread only.

#include <QComboBox>

class CBitComboBox : public QComboBox {
    Q_OBJECT
public:
    // Left inset of face and item texts.
    static constexpr int kTextInset = 5;

    explicit CBitComboBox(QWidget* parent = nullptr);

    // The face's text colour: white while focused, light grey otherwise.
    QColor FaceTextColor() const;

protected:
    void paintEvent(QPaintEvent* event) override;
};
