#include "CSpecialWitheDlg.h"

#include <QLabel>
#include <QPainter>

#include "EffectsPage.h"
#include "JsonLine.h"

using namespace zavreo::effects;

namespace {

constexpr char kSwitchOff[] = "images/right/Special/specialeffect_notopensubtitles_49.png";
constexpr char kSwitchOn[] = "images/right/Special/specialeffect_opensubtitles_49.png";
constexpr char kBackground[] = "images/right/Special/background_1.png";
constexpr QColor kValueText(141, 149, 156);

struct RowTemplate {
    int slider, value, toggle;
    const char* namePicture;
    QColor valueGround;
    const char* key;
    int kind;
    int channel, active;
    std::string (*format)(int);
    const char* savedOn;
    const char* savedPosition;
};

const RowTemplate kRows[] = {
    {CSpecialWitheDlg::IDC_SLIM_SLIDER, CSpecialWitheDlg::IDC_SLIM_VALUE,
     CSpecialWitheDlg::IDC_SLIM_SWITCH, "images/right/Special/specialeffect_meibai_shoushen.png",
     QColor(53, 50, 59), "scale", zavreo::kEffectScale, 199, 200, &ScaleValue, "isShouShen",
     "ShouShen"},
    {CSpecialWitheDlg::IDC_WHITE_SLIDER, CSpecialWitheDlg::IDC_WHITE_VALUE,
     CSpecialWitheDlg::IDC_WHITE_SWITCH, "images/right/Special/specialeffect_meibai_meibai_82.png",
     QColor(55, 50, 59), "brightness", zavreo::kEffectBright, 202, 201, &BrightnessValue,
     "isMeiBai", "MeiBai"},
    {CSpecialWitheDlg::IDC_SMOOTH_SLIDER, CSpecialWitheDlg::IDC_SMOOTH_VALUE,
     CSpecialWitheDlg::IDC_SMOOTH_SWITCH, "images/right/Special/specialeffect_meibai_mopi_108.png",
     QColor(57, 50, 59), "level", zavreo::kEffectDomainTransform, 204, 203, &LevelValue, "isMoPi",
     "MoPi"},
};

}  // namespace

CSpecialWitheDlg::CSpecialWitheDlg(QWidget* parent, const EffectsContext& context)
    : QWidget(parent), context_(context), restore_(this), promoIcon_(Units(10, 282, 68, 27)) {
    MakeStatic(this, QStringLiteral("美化："), Units(10, 8, 60, 12), kValueText);
    zavreo::effects::ParamMap* maps[] = {&context_.scaleParams, &context_.brightnessParams,
                                         &context_.levelParams};
    for (int i = 0; i < kEffectCount; ++i) {
        const RowTemplate& t = kRows[i];
        Row& row = rows_[i];
        const int top = 28 + i * 50;
        auto* name = new CPngButton(this);
        name->SetImages(t.namePicture, t.namePicture, t.namePicture);
        name->move(UnitsAt(10, top));
        row.toggle = new CPngButton(this);
        row.toggle->SetImages(kSwitchOff, kSwitchOff, kSwitchOn, 4);
        row.toggle->move(UnitsAt(150, top));
        row.slider = new CBitmapSlider(this, t.slider);
        row.slider->setGeometry(Units(10, top + 20, 110, 20));
        row.value = MakeStatic(this, QStringLiteral("50"), Units(126, top + 24, 20, 11), kValueText,
                               t.valueGround);
        row.params = maps[i];
        row.key = t.key;
        row.kind = t.kind;
        row.channel = t.channel;
        row.active = t.active;
        row.format = t.format;

        row.slider->SetBitmapThumb(175, 177, 176);
        row.slider->SetRange(0, 100);
        row.slider->SetPos(50);
        row.slider->SetMargin(0, 2, 0, 2);
        row.slider->DrawFocusRect(false);
        SetActiveLook(row, false);
        connect(row.slider, &CBitmapSlider::SliderMoved, this, &CSpecialWitheDlg::OnSliderMoved);
        connect(row.toggle, &CPngButton::clicked, this,
                [this, i] { OnSwitch(static_cast<Effect>(i)); });
    }
    restore_.SetImages("images/right/Special/huifumoren_normal_88.png",
                       "images/right/Special/huifumoren_over_88.png",
                       "images/right/Special/huifumoren_press_88.png");
    restore_.move(UnitsAt(10, 182));
    connect(&restore_, &CPngButton::clicked, this, &CSpecialWitheDlg::OnRestoreDefaults);
    new PromoLine(this, Units(84, 290, 105, 12));
}

void CSpecialWitheDlg::SetActiveLook(Row& row, bool active) {
    row.slider->SetBitmapChannel(row.channel, active ? row.active : row.channel);
    // Disabling also cancels a drag in progress and releases the mouse.
    row.slider->setEnabled(active);
    row.slider->update();
}

void CSpecialWitheDlg::StoreValue(Row& row) {
    (*row.params)[row.key] = row.format(row.slider->GetPos());
}

void CSpecialWitheDlg::OnSwitch(Effect effect) {
    Row& row = rows_[effect];
    if (row.on) {
        row.on = false;
        row.toggle->SetSelected(false);
        context_.callback.ConfigureEffect(zavreo::kEffectRemove, row.kind, *row.params);
        SetActiveLook(row, false);
        return;
    }
    StoreValue(row);
    context_.callback.ConfigureEffect(zavreo::kEffectAdd, row.kind, *row.params);
    row.on = true;
    row.toggle->SetSelected(true);
    SetActiveLook(row, true);
}

void CSpecialWitheDlg::OnSliderMoved(int controlId, int) {
    for (Row& row : rows_) {
        if (row.slider->GetDlgCtrlID() != controlId) {
            continue;
        }
        // The position is read from the slider: restoring the defaults sends no position.
        row.value->setText(QString::number(row.slider->GetPos()));
        if (row.on) {
            StoreValue(row);
            context_.callback.ConfigureEffect(zavreo::kEffectModify, row.kind, *row.params);
        }
    }
}

void CSpecialWitheDlg::OnRestoreDefaults() {
    for (Row& row : rows_) {
        row.slider->SetPos(50);
    }
    for (Row& row : rows_) {
        OnSliderMoved(row.slider->GetDlgCtrlID(), 0);
    }
    for (Row& row : rows_) {
        row.value->setText(QStringLiteral("50"));
    }
    // Only the slimming slider, and whatever its switch: a slider that moves while its effect is
    // off changes only its label.
    rows_[kSlimming].slider->setEnabled(true);
    rows_[kSlimming].slider->update();
}

void CSpecialWitheDlg::FillSettings(Json::Value& group) const {
    for (int i = 0; i < kEffectCount; ++i) {
        group[kRows[i].savedOn] = rows_[i].on ? 1 : 0;
        group[kRows[i].savedPosition] = rows_[i].slider->GetPos();
    }
}

void CSpecialWitheDlg::ApplySettings(const Json::Value& group) {
    for (Row& row : rows_) {
        row.on = false;
        row.toggle->SetSelected(false);
    }
    for (int i = 0; i < kEffectCount; ++i) {
        // Out of range is pulled to the nearest end by the slider.
        rows_[i].slider->SetPos(zavreo::JsonInt(group, kRows[i].savedPosition));
        rows_[i].value->setText(QString::number(rows_[i].slider->GetPos()));
    }
    for (int i = 0; i < kEffectCount; ++i) {
        if (zavreo::JsonInt(group, kRows[i].savedOn) == 1) {
            OnSwitch(static_cast<Effect>(i));
        }
    }
}

void CSpecialWitheDlg::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    PaintPicture(painter, kBackground, rect());
    PaintPicture(painter, kPromoIcon, promoIcon_);
}
