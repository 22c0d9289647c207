#include "CYinxiaoDlg.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QScreen>
#include <string>

#include "DialogUnits.h"
#include "SkinFont.h"

namespace {
constexpr std::array<const char*, zavreo::kSoundEffectCount> kImageNumbers = {
    "86", "89", "92", "123", "124", "125", "137", "138", "117"};
constexpr int kColumns[] = {6, 54, 102};
constexpr int kRows[] = {53, 87, 122};
constexpr char kBackground[] = "images/yinxiao/yinxiao_background_82.png";
constexpr char kSwitchOff[] = "images/right/Special/specialeffect_notopensubtitles_49.png";
constexpr char kSwitchOn[] = "images/right/Special/specialeffect_opensubtitles_49.png";
}  // namespace

CYinxiaoDlg::CYinxiaoDlg(std::filesystem::path effectFolder, std::string audioSink)
    : QDialog(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      player_(std::move(effectFolder), std::move(audioSink)) {
    setWindowTitle(QStringLiteral("音效"));
    setFixedSize(DialogUnits::Rect(0, 0, 145, 183).size());

    for (int i = 0; i < zavreo::kSoundEffectCount; ++i) {
        CPngButton& button = sounds_[i];
        button.setParent(this);
        const std::string number = kImageNumbers[i];
        button.SetImages("images/yinxiao/yinxiaoguo_normal_" + number + ".png",
                         "images/yinxiao/yinxiaoguo_over_" + number + ".png",
                         "images/yinixao/yinxiaoguo_press_" + number + ".png");
        button.move(DialogUnits::Rect(kColumns[i % 3], kRows[i / 3], 26, 27).topLeft());
        connect(&button, &CPngButton::clicked, this, [this, i] { PlaySound(i + 1); });
    }
    close_.setParent(this);
    close_.SetImages("images/yinxiao/lyriccontrol_close_normal_162.png",
                     "images/yinxiao/lyriccontrol_close_over_162.png",
                     "images/yinixao/lyriccontrol_close_press_162.png");
    close_.move(DialogUnits::Rect(126, 8, 19, 22).topLeft());
    // A posted close: the click finishes before the pad hides.
    connect(&close_, &CPngButton::clicked, this, &QWidget::close, Qt::QueuedConnection);

    shortcutSwitch_.setParent(this);
    shortcutSwitch_.SetImages(kSwitchOff, kSwitchOff, kSwitchOn, 4);
    shortcutSwitch_.move(DialogUnits::Rect(11, 35, 12, 10).topLeft());
    shortcutSwitch_.SetSelected(shortcutsOn_);
    connect(&shortcutSwitch_, &CPngButton::clicked, this, &CYinxiaoDlg::ToggleShortcuts);

    auto* caption = new QLabel(QStringLiteral("激活快捷键"), this);
    caption->setFont(SkinFont::Make(12, 400));
    QPalette palette = caption->palette();
    palette.setColor(QPalette::WindowText, QColor(115, 116, 123));
    caption->setPalette(palette);
    caption->adjustSize();
    // Beside the switch as its picture sized it.
    const QRect switchBox = shortcutSwitch_.geometry();
    caption->move(switchBox.right() + 6, switchBox.center().y() - caption->height() / 2);

    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        move(screen->geometry().center() - rect().center());
    }
}

int CYinxiaoDlg::SoundForKey(int key) {
    return key >= Qt::Key_1 && key <= Qt::Key_9 ? key - Qt::Key_0 : 0;
}

void CYinxiaoDlg::PlaySound(int number) {
    player_.Play(number);
}

void CYinxiaoDlg::ToggleShortcuts() {
    shortcutsOn_ = !shortcutsOn_;
    shortcutSwitch_.SetSelected(shortcutsOn_);
}

void CYinxiaoDlg::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), QColor(44, 44, 53));
    painter.drawPixmap(rect(), QPixmap(QString::fromUtf8(kBackground)));
}

void CYinxiaoDlg::keyPressEvent(QKeyEvent* event) {
    const int number = SoundForKey(event->key());
    if (number != 0 && isVisible() && shortcutsOn_) {
        PlaySound(number);
        return;
    }
    // Escape and Enter would end the dialog; the pad only hides through its close button.
    if (event->key() == Qt::Key_Escape || event->key() == Qt::Key_Return ||
        event->key() == Qt::Key_Enter) {
        return;
    }
    QDialog::keyPressEvent(event);
}

void CYinxiaoDlg::mousePressEvent(QMouseEvent* event) {
    drag_.Press(*this, *event);
    QDialog::mousePressEvent(event);
}

void CYinxiaoDlg::mouseMoveEvent(QMouseEvent* event) {
    drag_.Move(*this, *event);
    QDialog::mouseMoveEvent(event);
}
