#include "CSpecialDlg.h"

#include <QPainter>

#include "DecorationDefinitions.h"
#include "EffectsPage.h"

using namespace zavreo::effects;

namespace {

constexpr const char* kTabNumbers[] = {"18", "61", "70", "77"};
constexpr int kTabTops[] = {0, 24, 47, 70};

}  // namespace

namespace {

EffectsContext ContextOf(zavreo::CSampleGrabberCB& callback, EffectParams& params) {
    return {callback,     params.text, params.scale, params.brightness,
            params.level, params.sun,  params.deco};
}

}  // namespace

CSpecialDlg::CSpecialDlg(QWidget* parent, zavreo::CSampleGrabberCB& callback)
    : QWidget(parent),
      lyric_(this, ContextOf(callback, params_)),
      white_(this, ContextOf(callback, params_)),
      filter_(this, ContextOf(callback, params_)),
      deco_(this, ContextOf(callback, params_)) {
    // Control 1061 marks where the pages lie.
    const QRect pageArea = Units(58, 0, 205, 338);
    for (int i = 0; i < 4; ++i) {
        Page(i).setGeometry(pageArea);
        Page(i).setVisible(i == 0);
        const std::string stem = "images/right/Special/specialeffect_table_";
        const std::string number = kTabNumbers[i];
        tabs_[i] = new CPngButton(this);
        tabs_[i]->SetImages(stem + "normal_" + number + ".png", stem + "over_" + number + ".png",
                            stem + "select_" + number + ".png", 4);
        tabs_[i]->move(UnitsAt(0, kTabTops[i]));
        connect(tabs_[i], &CPngButton::clicked, this, [this, i] { OnTab(IDC_TAB_SUBTITLE + i); });
    }
    tabs_[0]->SetSelected(true);
}

QWidget& CSpecialDlg::Page(int index) {
    switch (index) {
        case 0:
            return lyric_;
        case 1:
            return white_;
        case 2:
            return filter_;
        default:
            return deco_;
    }
}

void CSpecialDlg::LoadDecorations() {
    params_.deco = BuildDecorationDefinitions();
}

void CSpecialDlg::AttachSettings(zavreo::SettingsStore& settings) {
    settings.Attach(zavreo::SettingsGroup::kText, &lyric_);
    settings.Attach(zavreo::SettingsGroup::kWhite, &white_);
    settings.Attach(zavreo::SettingsGroup::kFilter, &filter_);
    settings.Attach(zavreo::SettingsGroup::kDeco, &deco_);
}

void CSpecialDlg::OnTab(int id) {
    const int chosen = id - IDC_TAB_SUBTITLE;
    if (chosen < 0 || chosen >= 4) {
        return;
    }
    for (int i = 0; i < 4; ++i) {
        tabs_[i]->SetSelected(i == chosen);
        Page(i).setVisible(i == chosen);
    }
}

void CSpecialDlg::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    PaintPicture(painter, "images/right/Special/background_quan.png", rect());
}
