#pragma once
// The beauty page: slimming, whitening and skin smoothing, each a switch, a strength slider and
// its value; on turns the slider into the effect's parameter and keeps the engine instance in
// step with it. Its state is the settings group "White". Interface thread only.

#include <QWidget>
#include <array>

#include "CBitmapSlider.h"
#include "CPngButton.h"
#include "EffectsContext.h"
#include "SettingsStore.h"

class QLabel;

class CSpecialWitheDlg : public QWidget, public zavreo::ISettingsGroup {
    Q_OBJECT
public:
    enum Id {
        IDC_WHITE_VALUE = 1073,
        IDC_SLIM_SLIDER = 1098,
        IDC_SLIM_VALUE = 1099,
        IDC_SLIM_SWITCH = 1100,
        IDC_WHITE_SLIDER = 1101,
        IDC_WHITE_SWITCH = 1103,
        IDC_SMOOTH_SLIDER = 1104,
        IDC_SMOOTH_VALUE = 1105,
        IDC_SMOOTH_SWITCH = 1106,
        IDC_RESTORE = 1107,
    };
    enum Effect { kSlimming = 0, kWhitening = 1, kSmoothing = 2 };
    static constexpr int kEffectCount = 3;

    CSpecialWitheDlg(QWidget* parent, const zavreo::effects::EffectsContext& context);

    // A switch click: on -> off removes the instance, off -> on adds it at the slider's value.
    void OnSwitch(Effect effect);
    // The slider's move message: the label follows, and an effect that is on takes the value.
    void OnSliderMoved(int controlId, int position);
    void OnRestoreDefaults();

    void FillSettings(Json::Value& group) const override;
    void ApplySettings(const Json::Value& group) override;

    bool IsOn(Effect effect) const { return rows_[effect].on; }
    CBitmapSlider& Slider(Effect effect) { return *rows_[effect].slider; }
    CPngButton& Switch(Effect effect) { return *rows_[effect].toggle; }
    QLabel& Value(Effect effect) { return *rows_[effect].value; }
    CPngButton& RestoreButton() { return restore_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    struct Row {
        CBitmapSlider* slider = nullptr;
        QLabel* value = nullptr;
        CPngButton* toggle = nullptr;
        zavreo::effects::ParamMap* params = nullptr;
        const char* key = "";
        int kind = 0;
        int channel = 0;  // track bitmap; the filled part uses `active` while the effect is on
        int active = 0;
        std::string (*format)(int position) = nullptr;
        bool on = false;
    };

    void SetActiveLook(Row& row, bool active);
    void StoreValue(Row& row);

    zavreo::effects::EffectsContext context_;
    std::array<Row, kEffectCount> rows_;
    CPngButton restore_;
    QRect promoIcon_;
};
