#pragma once
// A one-line label that ends a text too long for it with "…" after the last character that fits,
// never cutting a character. text() keeps the whole text. User-interface thread only.

#include <QLabel>

class CElidedLabel : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;

protected:
    void paintEvent(QPaintEvent* event) override;
};
