#include "CPaiZhao.h"

#include <QPainter>
#include <QPainterPath>

namespace {

constexpr QSize kSize(360, 300);
// Control 1145: below the title strip, above the buttons.
constexpr QRect kPictureArea(20, 40, 320, 210);
// Right of the title in the title strip.
constexpr QRect kFolderArea(80, 9, 260, 22);

}  // namespace

CPaiZhao::CPaiZhao(QWidget* parent)
    : QDialog(parent, Qt::Tool | Qt::FramelessWindowHint),
      background_(QStringLiteral("images/paizhao/paizhao_background_74.png")),
      openFolder_(this),
      close_(this),
      folderLabel_(this) {
    setWindowTitle(QStringLiteral("拍照"));
    setFixedSize(kSize);
    openFolder_.SetImages("images/paizhao/_button_normal_144.png",
                          "images/paizhao/_button_over_144.png",
                          "images/paizhao/_button_press_144.png");
    close_.SetImages("images/paizhao/_button_normal_147.png", "images/paizhao/_button_over_147.png",
                     "images/paizhao/_button_press_147.png");
    openFolder_.move(kPictureArea.left(), 262);
    close_.move(kPictureArea.right() + 1 - close_.sizeHint().width(), 262);
    folderLabel_.setGeometry(kFolderArea);
    folderLabel_.setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    connect(&openFolder_, &CPngButton::clicked, this, [this] { opener_.Open(folder_); });
    connect(&opener_, &FolderOpener::Failed, this, &CPaiZhao::FolderNotOpened);
    // Closing only hides: the dialog lives as long as the main window.
    connect(&close_, &CPngButton::clicked, this, &QWidget::hide, Qt::QueuedConnection);
}

void CPaiZhao::SetFolder(const std::filesystem::path& folder) {
    folder_ = folder;
    folderLabel_.SetFolder(QString::fromStdString(folder.string()));
}

void CPaiZhao::SetPhoto(const std::filesystem::path& path) {
    photo_ = QPixmap(QString::fromStdString(path.string()));
    update();
}

void CPaiZhao::Toggle() {
    setVisible(!isVisible());
}

void CPaiZhao::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawPixmap(rect(), background_);
    if (!photo_.isNull()) {
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawPixmap(kPictureArea, photo_);
    }
}

void CPaiZhao::resizeEvent(QResizeEvent* event) {
    QPainterPath path;
    path.addRoundedRect(QRectF(0, 0, width(), height()), 2, 2);
    setMask(QRegion(path.toFillPolygon().toPolygon()));
    QDialog::resizeEvent(event);
}

void CPaiZhao::mousePressEvent(QMouseEvent* event) {
    drag_.Press(*this, *event);
}

void CPaiZhao::mouseMoveEvent(QMouseEvent* event) {
    drag_.Move(*this, *event);
}
