#pragma once
// The sound-effect pad: a top-most window of nine effect buttons, a close button and the
// shortcut switch. While it is visible and the switch is on, the keys 1 to 9 of the main
// keyboard and of the numeric pad play the effects too, whichever of the program's windows has
// the focus (the pad opens without taking it), except in a text field, where they are typed.
// The switch is on at every start. A second switch, "全局快捷键" (off until the user turns it on,
// kept in pad.lst), makes the keys work while other programs have the focus too, for as long as
// the pad shows with the first switch on (GlobalEffectKeys). Interface thread.

#include <QDialog>
#include <array>
#include <filesystem>

#include "BodyDrag.h"
#include "CPngButton.h"
#include "GlobalEffectKeys.h"
#include "PadSettings.h"
#include "SoundEffectPlayer.h"

class CYinxiaoDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kFirstSoundId = 1119;  // 1119 to 1127: sounds 1 to 9
    static constexpr int kCloseId = 1128;
    static constexpr int kShortcutSwitchId = 1143;

    // No parent: the pad stands on the desktop. `effectFolder` and `audioSink` as for
    // SoundEffectPlayer; `settingsFile` is pad.lst (empty: nothing is read or kept).
    explicit CYinxiaoDlg(std::filesystem::path effectFolder = "yinxiao", std::string audioSink = {},
                         std::filesystem::path settingsFile = {});

    // Plays effect `number` (1 to 9); true when it started.
    bool PlaySound(int number);
    // Flips the shortcut switch and repaints it.
    void ToggleShortcuts();
    bool ShortcutsOn() const { return shortcutsOn_; }
    // Flips the global-keys switch, keeps the choice and takes or gives back the keys.
    void ToggleGlobalKeys();
    bool GlobalKeysOn() const { return settings_.GlobalKeys(); }
    const GlobalEffectKeys& GlobalKeys() const { return globalKeys_; }
    int LastSound() const { return player_.LastSound(); }

    // The effect a key plays: Qt::Key_1 to Qt::Key_9, from either keyboard part, give 1 to 9;
    // anything else 0.
    static int SoundForKey(int key);

    CPngButton& SoundButton(int number) { return sounds_[number - 1]; }
    CPngButton& GlobalKeysSwitch() { return globalSwitch_; }

signals:
    // A message for the main window's tip.
    void Tip(const QString& text);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    // The keys are taken while the pad shows, both switches on.
    void UpdateGlobalKeys();
    // A global key: typed into a text field of this program that has the keyboard, else played.
    void OnGlobalKey(int number);
    void OnGlobalKeysTrouble(const QString& text);

    zavreo::SoundEffectPlayer player_;
    std::array<CPngButton, zavreo::kSoundEffectCount> sounds_;
    CPngButton close_;
    CPngButton shortcutSwitch_;
    CPngButton globalSwitch_;
    bool shortcutsOn_ = true;
    zavreo::PadSettings settings_;
    bool keepSettings_;
    GlobalEffectKeys globalKeys_;
    // The last trouble told, so that showing the pad again does not repeat it.
    QString toldTrouble_;
    BodyDrag drag_;
};
