#include "CXiaoXiTiShi.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QThread>

#include "CPngButton.h"
#include "DialogUnits.h"
#include "SkinFont.h"
#include "SkinPalette.h"

CXiaoXiTiShi::CXiaoXiTiShi(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint),
      background_(QStringLiteral("images/xiaoxitishi_background_76.png")),
      text_(new QPlainTextEdit(this)),
      ok_(new CPngButton(this)) {
    setFixedSize(DialogUnits::X(156), DialogUnits::Y(110));
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
    text_->setGeometry(DialogUnits::Rect(19, 43, 120, 32));
    text_->setFont(SkinFont::Make(13, 600));
    QPalette colours = text_->palette();
    colours.setColor(QPalette::Base, QColor(48, 48, 59));
    colours.setColor(QPalette::Text, QColor(142, 143, 152));
    text_->setPalette(colours);

    ok_->move(DialogUnits::X(56), DialogUnits::Y(78));
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

void CXiaoXiTiShi::reject() {
    // Escape and window-manager close requests leave the tip up; only OK closes it.
}

void CXiaoXiTiShi::showEvent(QShowEvent* event) {
    if (!centred_ && parentWidget()) {
        centred_ = true;
        const QRect owner = parentWidget()->frameGeometry();
        move(owner.center() - rect().center());
    }
    QDialog::showEvent(event);
}

void CXiaoXiTiShi::paintEvent(QPaintEvent*) {
    if (background_.isNull()) {
        return;
    }
    QPainter painter(this);
    painter.drawPixmap(rect(), background_);
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
