#include "CXiaoXiTiShi.h"

#include <QHideEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QScreen>
#include <QScrollBar>
#include <QTextDocument>
#include <QThread>

#include <algorithm>
#include <cmath>

#include "CPngButton.h"
#include "DialogUnits.h"
#include "SkinFont.h"
#include "SkinPalette.h"

namespace {
// The picture's dark text area, where the text sits and where the window grows for long texts.
constexpr QRect kTextArea = DialogUnits::Rect(19, 43, 120, 32);
constexpr QSize kPictureSize(DialogUnits::X(156), DialogUnits::Y(110));
constexpr QPoint kOkAt(DialogUnits::X(56), DialogUnits::Y(78));
}  // namespace

CXiaoXiTiShi::CXiaoXiTiShi(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint),
      background_(QStringLiteral("images/xiaoxitishi_background_76.png")),
      text_(new QPlainTextEdit(this)),
      ok_(new CPngButton(this)) {
    setFixedSize(kPictureSize);
    // The picture's rounded corners show the skin's background, not the system's light grey.
    QPalette own = palette();
    own.setColor(QPalette::Window, Skin::Background());
    setPalette(own);
    text_->setObjectName(QStringLiteral("tipText"));
    text_->setReadOnly(true);
    text_->setFrameShape(QFrame::NoFrame);
    text_->setFocusPolicy(Qt::NoFocus);
    text_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    text_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    text_->setGeometry(kTextArea);
    text_->verticalScrollBar()->setStyleSheet(QString::fromUtf8(Skin::kScrollBarStyle));
    text_->setFont(SkinFont::Make(13, 600));
    QPalette colours = text_->palette();
    colours.setColor(QPalette::Base, QColor(48, 48, 59));
    colours.setColor(QPalette::Text, QColor(142, 143, 152));
    text_->setPalette(colours);

    ok_->move(kOkAt);
    ok_->SetImages("images/paizhao/_button_normal_147.png", "images/paizhao/_button_over_147.png",
                   "images/paizhao/_button_press_147.png");
    connect(ok_, &CPngButton::clicked, this, &QDialog::hide);
}

void CXiaoXiTiShi::ShowTip(const QString& text) {
    if (QThread::currentThread() != thread()) {
        QMetaObject::invokeMethod(
            this, [this, text] { ShowTip(text); }, Qt::QueuedConnection);
        return;
    }
    text_->setPlainText(text);
    FitText();
    setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    // A tip already up may lie under another window (the sound pad); a new message comes to the
    // front like a freshly shown one.
    raise();
    activateWindow();
}

QString CXiaoXiTiShi::Text() const {
    return text_->toPlainText();
}

int CXiaoXiTiShi::TextHeight(int width) const {
    QTextDocument measure;
    measure.setDefaultFont(text_->font());
    measure.setDocumentMargin(text_->document()->documentMargin());
    QTextOption wrapping;
    wrapping.setWrapMode(text_->wordWrapMode());
    measure.setDefaultTextOption(wrapping);
    measure.setPlainText(text_->toPlainText());
    measure.setTextWidth(width - 2 * text_->frameWidth());
    // The text box counts a line as shown only with one more margin and a pixel below it.
    const qreal slack = measure.documentMargin() + 1;
    return int(std::ceil(measure.size().height() + slack)) + 2 * text_->frameWidth();
}

void CXiaoXiTiShi::FitText() {
    // The text wraps within the area's width; the window grows by the lines that do not fit, up
    // to the screen's height, beyond which the text scrolls. A short text sits in the area's
    // middle.
    const QScreen* shownOn = parentWidget() ? parentWidget()->screen() : screen();
    const int room =
        shownOn->availableGeometry().height() - (kPictureSize.height() - kTextArea.height());
    const int needed = TextHeight(kTextArea.width());
    grow_ = std::max(0, std::min(needed, room) - kTextArea.height());
    setFixedSize(kPictureSize.width(), kPictureSize.height() + grow_);
    const int areaHeight = kTextArea.height() + grow_;
    const int textHeight = std::min(needed, areaHeight);
    text_->setGeometry(kTextArea.x(), kTextArea.y() + (areaHeight - textHeight) / 2,
                       kTextArea.width(), textHeight);
    ok_->move(kOkAt + QPoint(0, grow_));
    if (isVisible()) {
        const QRect screenArea = shownOn->availableGeometry();
        move(x(), std::clamp(y(), screenArea.top(), screenArea.bottom() + 1 - height()));
    }
}

void CXiaoXiTiShi::showEvent(QShowEvent* event) {
    if (!centred_ && parentWidget()) {
        centred_ = true;
        const QRect owner = parentWidget()->frameGeometry();
        move(owner.center() - rect().center());
    }
    QDialog::showEvent(event);
}

void CXiaoXiTiShi::hideEvent(QHideEvent* event) {
    QDialog::hideEvent(event);
    // Hidden with its parent (minimised, in the tray) it still waits to be read.
    if (!event->spontaneous()) {
        emit Dismissed();
    }
}

void CXiaoXiTiShi::paintEvent(QPaintEvent*) {
    if (background_.isNull()) {
        return;
    }
    // Above and below the middle of the text area the picture is drawn as it is; a grown tip
    // stretches the area's middle row over the added height.
    QPainter painter(this);
    const double scaleY = double(background_.height()) / kPictureSize.height();
    const int split = kTextArea.center().y();
    const auto rows = [&](double top, double bottom) {
        return QRectF(0, top * scaleY, background_.width(), (bottom - top) * scaleY);
    };
    painter.drawPixmap(QRectF(0, 0, width(), split), background_, rows(0, split));
    painter.drawPixmap(QRectF(0, split, width(), grow_), background_, rows(split, split + 1));
    painter.drawPixmap(QRectF(0, split + grow_, width(), kPictureSize.height() - split),
                       background_, rows(split, kPictureSize.height()));
}

void CXiaoXiTiShi::mousePressEvent(QMouseEvent* event) {
    drag_.Press(*this, *event);
    QDialog::mousePressEvent(event);
}

void CXiaoXiTiShi::mouseMoveEvent(QMouseEvent* event) {
    drag_.Move(*this, *event);
    QDialog::mouseMoveEvent(event);
}

void CXiaoXiTiShi::mouseReleaseEvent(QMouseEvent* event) {
    drag_.Release();
    QDialog::mouseReleaseEvent(event);
}
