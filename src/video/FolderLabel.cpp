#include "FolderLabel.h"

#include <QDir>

#include "SkinFont.h"
#include "SkinPalette.h"

FolderLabel::FolderLabel(QWidget* parent) : QLabel(parent) {
    setFont(SkinFont::Make(12, 400));
    QPalette colours = palette();
    colours.setColor(QPalette::WindowText, Skin::DimText());
    setPalette(colours);
}

void FolderLabel::SetFolder(const QString& folder) {
    folder_ = QDir::toNativeSeparators(folder);
    setToolTip(folder_);
    Elide();
}

void FolderLabel::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    Elide();
}

void FolderLabel::Elide() {
    setText(fontMetrics().elidedText(folder_, Qt::ElideMiddle, contentsRect().width()));
}
