#pragma once
// The sound-effect pad: a top-most window of nine effect buttons, a close button and the
// shortcut switch. While it is visible and the switch is on, the keys 1 to 9 of the main
// keyboard and of the numeric pad play the effects too, whichever of the program's windows has
// the focus (the pad opens without taking it), except in a text field, where they are typed.
// The switch is on at every start. Interface thread.

#include <QDialog>
#include <array>
#include <filesystem>

#include "BodyDrag.h"
#include "CPngButton.h"
#include "SoundEffectPlayer.h"

class CYinxiaoDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kFirstSoundId = 1119;  // 1119 to 1127: sounds 1 to 9
    static constexpr int kCloseId = 1128;
    static constexpr int kShortcutSwitchId = 1143;

    // No parent: the pad stands on the desktop. `effectFolder` and `audioSink` as for
    // SoundEffectPlayer.
    explicit CYinxiaoDlg(std::filesystem::path effectFolder = "yinxiao",
                         std::string audioSink = {});

    // Plays effect `number` (1 to 9).
    void PlaySound(int number);
    // Flips the shortcut switch and repaints it.
    void ToggleShortcuts();
    bool ShortcutsOn() const { return shortcutsOn_; }
    int LastSound() const { return player_.LastSound(); }

    // The effect a key plays: Qt::Key_1 to Qt::Key_9, from either keyboard part, give 1 to 9;
    // anything else 0.
    static int SoundForKey(int key);

    CPngButton& SoundButton(int number) { return sounds_[number - 1]; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    zavreo::SoundEffectPlayer player_;
    std::array<CPngButton, zavreo::kSoundEffectCount> sounds_;
    CPngButton close_;
    CPngButton shortcutSwitch_;
    bool shortcutsOn_ = true;
    BodyDrag drag_;
};
