#pragma once
// The subtitle page: a line of text laid over the video, still or scrolling, with its font, size,
// place, colours and background band. Turning it on adds the text instance with every parameter;
// while it is on each change is sent as a modify of the keys changed since it was turned on. Its
// state is the settings group "Text". Interface thread only.

#include <QPlainTextEdit>
#include <QWidget>

#include "CBitComboBox.h"
#include "CColorButton.h"
#include "CPngButton.h"
#include "EffectsContext.h"
#include "SettingsStore.h"

class CSpecialLyric : public QWidget, public zavreo::ISettingsGroup {
    Q_OBJECT
public:
    enum Id {
        IDC_TEXT = 1067,
        IDC_FONT = 1068,
        IDC_SIZE = 1074,
        IDC_POSITION = 1075,
        IDC_DIRECTION = 1076,
        IDC_UNUSED_LIST = 1077,
        IDC_TRANSPARENCY = 1078,
        IDC_SWITCH = 1132,
        IDC_TEXT_COLOR = 1140,
        IDC_BACK_COLOR = 1141,
    };
    static constexpr unsigned kDefaultTextColor = 0xFF0000;  // blue
    static constexpr unsigned kDefaultBackColor = 0x808080;  // grey
    // UTF-16 units of subtitle text kept; more is cut as it comes (a paste, a saved group), so
    // config.lst stays far within what its reader takes (at most 6 bytes a unit in it).
    static constexpr int kMaxTextUnits = 4096;

    CSpecialLyric(QWidget* parent, const zavreo::effects::EffectsContext& context);

    void OnSwitch();
    // A list chosen by the user: one of the Id lists.
    void OnListChosen(int controlId);
    void OnTextChanged();

    void FillSettings(Json::Value& group) const override;
    void ApplySettings(const Json::Value& group) override;

    bool IsOn() const { return on_; }
    CPngButton& Switch() { return switch_; }
    QPlainTextEdit& Text() { return text_; }
    CBitComboBox& List(int controlId);
    CColorButton& TextColor() { return textColor_; }
    CColorButton& BackColor() { return backColor_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void OnTextColor(unsigned value);
    void OnBackColor(unsigned value);
    // Puts the key(s) of a list's selection into the map; a list without selection puts none.
    void StoreListKeys(int controlId);
    void SendModify();

    zavreo::effects::EffectsContext context_;
    CPngButton switch_;
    QPlainTextEdit text_;
    CBitComboBox font_, size_, position_, direction_, transparency_, unused_;
    CColorButton textColor_, backColor_;
    bool on_ = false;
    std::string alpha_ = "7F";
    unsigned textColorValue_ = 0;
    unsigned backColorValue_ = 0;
    std::string textColorHex_, backColorHex_;
};
