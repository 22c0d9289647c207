#include "CYinxiaoDlg.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QScreen>
#include <QTextEdit>
#include <string>

#include "DialogUnits.h"
#include "SkinFont.h"
#include "TipTexts.h"
#include "WindowSystem.h"

namespace {
constexpr std::array<const char*, zavreo::kSoundEffectCount> kImageNumbers = {
    "86", "89", "92", "123", "124", "125", "137", "138", "117"};
constexpr int kColumns[] = {6, 54, 102};
constexpr int kRows[] = {53, 87, 122};
constexpr char kBackground[] = "images/yinxiao/yinxiao_background_82.png";
constexpr char kSwitchOff[] = "images/right/Special/specialeffect_notopensubtitles_49.png";
constexpr char kSwitchOn[] = "images/right/Special/specialeffect_opensubtitles_49.png";

// Where digits are typed rather than played.
bool IsTextField(const QObject* object) {
    return qobject_cast<const QLineEdit*>(object) != nullptr ||
           qobject_cast<const QTextEdit*>(object) != nullptr ||
           qobject_cast<const QPlainTextEdit*>(object) != nullptr ||
           qobject_cast<const QAbstractSpinBox*>(object) != nullptr;
}
}  // namespace

CYinxiaoDlg::CYinxiaoDlg(std::filesystem::path effectFolder, std::string audioSink,
                         std::filesystem::path settingsFile)
    : QDialog(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      player_(std::move(effectFolder), std::move(audioSink)),
      settings_(settingsFile),
      keepSettings_(!settingsFile.empty()) {
    if (keepSettings_) {
        settings_.Load();
    }
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

    // The global switch sits under the first, alike.
    globalSwitch_.setParent(this);
    globalSwitch_.SetImages(kSwitchOff, kSwitchOff, kSwitchOn, 4);
    globalSwitch_.move(shortcutSwitch_.x(),
                       shortcutSwitch_.geometry().bottom() + 1 + DialogUnits::Y(4));
    globalSwitch_.SetSelected(settings_.GlobalKeys());
    globalSwitch_.setToolTip(QStringLiteral("其他程序有焦点时，数字键也播放音效"));
    connect(&globalSwitch_, &CPngButton::clicked, this, &CYinxiaoDlg::ToggleGlobalKeys);
    connect(&globalKeys_, &GlobalEffectKeys::EffectKey, this, &CYinxiaoDlg::OnGlobalKey);
    connect(&globalKeys_, &GlobalEffectKeys::Trouble, this, &CYinxiaoDlg::OnGlobalKeysTrouble);

    // Each caption beside its switch as the switch's picture sized it.
    for (const auto& [button, text] :
         {std::pair{&shortcutSwitch_, "激活快捷键"}, std::pair{&globalSwitch_, "全局快捷键"}}) {
        auto* caption = new QLabel(QString::fromUtf8(text), this);
        caption->setFont(SkinFont::Make(12, 400));
        QPalette palette = caption->palette();
        palette.setColor(QPalette::WindowText, QColor(115, 116, 123));
        caption->setPalette(palette);
        caption->adjustSize();
        const QRect switchBox = button->geometry();
        caption->move(switchBox.right() + 6, switchBox.center().y() - caption->height() / 2);
    }

    // The grid's unit positions leave 6 units on the left, 17 on the right and a third of the
    // height empty below: it keeps its spacing, centred in the space under the switches.
    const QRect grid = sounds_.front().geometry().united(sounds_.back().geometry());
    const int top = globalSwitch_.geometry().bottom() + 1;
    const QPoint shift((width() - grid.width()) / 2 - grid.left(),
                       top + (height() - top - grid.height()) / 2 - grid.top());
    for (CPngButton& button : sounds_) {
        button.move(button.pos() + shift);
    }

    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen != nullptr && WindowSystem::PlacesTopLevels()) {
        move(screen->geometry().center() - rect().center());
    }
    qApp->installEventFilter(this);
}

int CYinxiaoDlg::SoundForKey(int key) {
    return key >= Qt::Key_1 && key <= Qt::Key_9 ? key - Qt::Key_0 : 0;
}

bool CYinxiaoDlg::PlaySound(int number) {
    return player_.Play(number);
}

void CYinxiaoDlg::ToggleShortcuts() {
    shortcutsOn_ = !shortcutsOn_;
    shortcutSwitch_.SetSelected(shortcutsOn_);
    UpdateGlobalKeys();
}

void CYinxiaoDlg::ToggleGlobalKeys() {
    settings_.SetGlobalKeys(!settings_.GlobalKeys());
    globalSwitch_.SetSelected(settings_.GlobalKeys());
    if (keepSettings_) {
        settings_.Save();
    }
    // Switching on tells again what stands in the way.
    toldTrouble_.clear();
    UpdateGlobalKeys();
}

void CYinxiaoDlg::UpdateGlobalKeys() {
    globalKeys_.SetActive(settings_.GlobalKeys() && shortcutsOn_ && isVisible());
}

void CYinxiaoDlg::OnGlobalKey(int number) {
    QWidget* focus = QApplication::focusWidget();
    if (focus != nullptr && IsTextField(focus)) {
        const QString digit = QString::number(number);
        QKeyEvent press(QEvent::KeyPress, Qt::Key_0 + number, Qt::NoModifier, digit);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_0 + number, Qt::NoModifier, digit);
        QApplication::sendEvent(focus, &press);
        QApplication::sendEvent(focus, &release);
        return;
    }
    PlaySound(number);
}

void CYinxiaoDlg::OnGlobalKeysTrouble(const QString& text) {
    // Not to be had at all: the switch goes back off, and the tip says what to do instead.
    if (text == QString::fromUtf8(TipText::kEffectKeysUnavailable) && settings_.GlobalKeys()) {
        ToggleGlobalKeys();
    }
    if (text != toldTrouble_) {
        toldTrouble_ = text;
        emit Tip(text);
    }
}

void CYinxiaoDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    UpdateGlobalKeys();
}

void CYinxiaoDlg::hideEvent(QHideEvent* event) {
    QDialog::hideEvent(event);
    UpdateGlobalKeys();
}

void CYinxiaoDlg::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), QColor(44, 44, 53));
    painter.drawPixmap(rect(), QPixmap(QString::fromUtf8(kBackground)));
}

// Sees every key of every window of the program before its widget does.
bool CYinxiaoDlg::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress || !isVisible() || !shortcutsOn_) {
        return QDialog::eventFilter(watched, event);
    }
    const auto* key = static_cast<QKeyEvent*>(event);
    const int number = SoundForKey(key->key());
    // A digit a text field ignores (a validator refusing it) goes on to its window: the field
    // with the focus decides too.
    const bool typing = IsTextField(watched) || IsTextField(QApplication::focusWidget());
    if (number == 0 || typing || !watched->isWidgetType()) {
        return QDialog::eventFilter(watched, event);
    }
    // Held down, a key repeats: the effect starts once.
    if (!key->isAutoRepeat()) {
        PlaySound(number);
    }
    return true;
}

void CYinxiaoDlg::keyPressEvent(QKeyEvent* event) {
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

void CYinxiaoDlg::mouseReleaseEvent(QMouseEvent* event) {
    drag_.Release();
    QDialog::mouseReleaseEvent(event);
}
