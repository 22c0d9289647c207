#pragma once
// The effects panel: four tab buttons down its left side and the page each one shows: subtitle,
// beauty, filter presets, decorations. Switching pages leaves the effects as they are. Owns the
// engine parameter maps the pages fill.
// Interface thread only.

#include <QWidget>

#include "CPngButton.h"
#include "CSpecialDeco.h"
#include "CSpecialFilter.h"
#include "CSpecialLyric.h"
#include "CSpecialWitheDlg.h"

class CSpecialDlg : public QWidget {
    Q_OBJECT
public:
    enum Id { IDC_TAB_SUBTITLE = 1057, IDC_TAB_BEAUTY, IDC_TAB_FILTER, IDC_TAB_DECORATION };

    CSpecialDlg(QWidget* parent, zavreo::CSampleGrabberCB& callback);

    // Fills the five decoration maps with their fixed definitions; the decorations page then
    // configures them.
    void LoadDecorations();

    // Gives the settings store the four pages' groups, in their load order.
    void AttachSettings(zavreo::SettingsStore& settings);

    void OnTab(int id);

    CSpecialLyric& Subtitle() { return lyric_; }
    CSpecialWitheDlg& Beauty() { return white_; }
    CSpecialFilter& Filter() { return filter_; }
    CSpecialDeco& Decoration() { return deco_; }
    CPngButton& Tab(int id) { return *tabs_[id - IDC_TAB_SUBTITLE]; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QWidget& Page(int index);

    zavreo::effects::EffectParams params_;  // before the pages, which keep references into it
    CSpecialLyric lyric_;
    CSpecialWitheDlg white_;
    CSpecialFilter filter_;
    CSpecialDeco deco_;
    std::array<CPngButton*, 4> tabs_{};
};
