#include "CLuXiang.h"

#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QRegion>

#include "CPngButton.h"
#include "FolderLabel.h"
#include "SkinFont.h"
#include "SkinPalette.h"

namespace {
// The size of its background picture.
constexpr int kWidth = 360;
constexpr int kHeight = 300;
}  // namespace

CLuXiang::CLuXiang(QWidget* parent, std::function<std::filesystem::path()> recordingFile,
                   std::function<std::filesystem::path()> videoFolder)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint),
      recordingFile_(std::move(recordingFile)),
      videoFolder_(std::move(videoFolder)),
      background_(QStringLiteral("images/paizhao/luzhishipin_background_74.png")),
      openFolder_(new CPngButton(this)),
      close_(new CPngButton(this)),
      fileLabel_(new QLabel(this)),
      folderLabel_(new FolderLabel(this)) {
    setFixedSize(kWidth, kHeight);
    setWindowTitle(QStringLiteral("录制视频"));
    openFolder_->SetImages("images/paizhao/_button_normal_144.png",
                           "images/paizhao/_button_over_144.png",
                           "images/paizhao/_button_press_144.png");
    close_->SetImages("images/paizhao/_button_normal_147.png",
                      "images/paizhao/_button_over_147.png",
                      "images/paizhao/_button_press_147.png");
    openFolder_->move(kWidth / 2 - openFolder_->width() - 16, kHeight - 56);
    close_->move(kWidth / 2 + 16, kHeight - 56);
    // Below the picture's "录像已保存到视频文件夹": the file's name, then its folder.
    fileLabel_->setGeometry(20, 140, kWidth - 40, 22);
    fileLabel_->setAlignment(Qt::AlignCenter);
    fileLabel_->setFont(SkinFont::Make(13, 600));
    QPalette colours = fileLabel_->palette();
    colours.setColor(QPalette::WindowText, Skin::Text());
    fileLabel_->setPalette(colours);
    folderLabel_->setGeometry(20, 164, kWidth - 40, 22);
    folderLabel_->setAlignment(Qt::AlignCenter);
    connect(openFolder_, &CPngButton::clicked, this, &CLuXiang::OpenFolder);
    connect(&opener_, &FolderOpener::Failed, this, &CLuXiang::FolderNotOpened);
    connect(close_, &CPngButton::clicked, this, &QDialog::close);
    hide();
}

CPngButton* CLuXiang::Button(int id) const {
    return id == IDC_OPEN_FOLDER ? openFolder_ : id == IDC_CLOSE ? close_ : nullptr;
}

void CLuXiang::ToggleVisible() {
    if (isVisible()) {
        hide();
        return;
    }
    if (parentWidget() != nullptr) {
        move(parentWidget()->frameGeometry().center() - rect().center());
    }
    file_ = recordingFile_();
    const QString name = QString::fromStdString(file_.filename().string());
    fileLabel_->setText(
        fileLabel_->fontMetrics().elidedText(name, Qt::ElideMiddle, fileLabel_->width()));
    fileLabel_->setToolTip(QString::fromStdString(file_.string()));
    folderLabel_->SetFolder(
        QString::fromStdString((file_.empty() ? videoFolder_() : file_.parent_path()).string()));
    show();
    raise();
}

void CLuXiang::OpenFolder() {
    if (file_.empty()) {
        opener_.Open(videoFolder_());
    } else {
        opener_.ShowFile(file_);
    }
}

void CLuXiang::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawPixmap(rect(), background_);
}

void CLuXiang::resizeEvent(QResizeEvent* event) {
    QPainterPath outline;
    outline.addRoundedRect(rect(), 4, 4);
    setMask(QRegion(outline.toFillPolygon().toPolygon()));
    QDialog::resizeEvent(event);
}

void CLuXiang::mousePressEvent(QMouseEvent* event) {
    drag_.Press(*this, *event);
    QDialog::mousePressEvent(event);
}

void CLuXiang::mouseMoveEvent(QMouseEvent* event) {
    drag_.Move(*this, *event);
    QDialog::mouseMoveEvent(event);
}
