#pragma once
// A right-hand panel's skinned ground: the panel's background picture, or the skin's background
// colour where it has none. The panels' own controls are added by their owners.

#include <QPixmap>
#include <QWidget>

class SkinnedPanel : public QWidget {
    Q_OBJECT
public:
    SkinnedPanel(QWidget* parent, const QString& background);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPixmap background_;
};
