#include "CXiaoXiTiShi.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QTextLayout>
#include <QThread>
#include <QtMath>

#include "CPngButton.h"
#include "DialogUnits.h"
#include "SkinFont.h"
#include "SkinPalette.h"

namespace {

const QRect kTextBox = DialogUnits::Rect(19, 43, 120, 32);
const QSize kTipSize(DialogUnits::X(156), DialogUnits::Y(110));
const QPoint kOkAt(DialogUnits::X(56), DialogUnits::Y(78));

// Height of `text` laid out as the text box lays it out, `width` pixels wide.
int LaidOutHeight(const QString& text, const QFont& font, const QTextOption& option, int width) {
    qreal height = 0;
    for (const QString& paragraph : text.split(QLatin1Char('\n'))) {
        QTextLayout layout(paragraph, font);
        layout.setTextOption(option);
        layout.beginLayout();
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(width);
            height += line.height();
        }
        layout.endLayout();
    }
    return qCeil(height);
}

}  // namespace

CXiaoXiTiShi::CXiaoXiTiShi(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint),
      background_(QStringLiteral("images/xiaoxitishi_background_76.png")),
      text_(new QPlainTextEdit(this)),
      ok_(new CPngButton(this)) {
    setFixedSize(kTipSize);
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
    text_->setGeometry(kTextBox);
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

// A message longer than the box would need scrolling: the tip grows downwards until all of it
// shows, and takes its own size again for a short one.
void CXiaoXiTiShi::FitText() {
    const qreal margin = text_->document()->documentMargin();
    const int width = kTextBox.width() - qCeil(2 * margin);
    // One line to spare: the box's own layout may break a line earlier than this estimate.
    const int needed = LaidOutHeight(text_->toPlainText(), text_->font(),
                                     text_->document()->defaultTextOption(), width) +
                       qCeil(2 * margin) + QFontMetrics(text_->font()).lineSpacing();
    const int extra = qMax(0, needed - kTextBox.height());
    text_->setGeometry(kTextBox.adjusted(0, 0, 0, extra));
    ok_->move(kOkAt + QPoint(0, extra));
    setFixedSize(kTipSize + QSize(0, extra));
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
