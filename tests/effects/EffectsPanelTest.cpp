#include <QTemporaryDir>
#include <fstream>
#include <sstream>

#include "CSpecialDlg.h"
#include "EffectsFixture.h"
#include "SettingsStore.h"

using Names = std::vector<std::string>;

namespace {

class EffectsPanel : public EffectsFixture {
protected:
    EffectsPanel() { panel_.LoadDecorations(); }
    std::filesystem::path File() const {
        return std::filesystem::path(dir_.path().toStdString()) / "config.lst";
    }
    void Write(const std::string& line) { std::ofstream(File()) << line << "\n"; }
    std::string Read() const {
        std::ifstream in(File(), std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    QTemporaryDir dir_;
    CSpecialDlg panel_{nullptr, callback_};
};

}  // namespace

TEST_F(EffectsPanel, ARestoredStartAddsInPageOrderAndSavesEveryMemberClamped) {
    Write(
        R"({"Deco":[{"1":0,"2":0,"3":0,"4":1,"5":1}],)"
        R"("Filter":[{"1":1,"2":1,"3":0,"4":1,"5":1}],)"
        R"("Text":[{"bkcolor":8421504,"bkdegree":2,"color":-16776961,"direction":1,"font":1,)"
        R"("isChose":1,"pos":2,"size":9,"text":"hello"}],)"
        R"("White":[{"MeiBai":120,"MoPi":30,"ShouShen":-4,"isMeiBai":1,"isMoPi":1,"isShouShen":1}],)"
        R"("m_Lyric":[{"isShow":1}]})");
    zavreo::SettingsStore settings(File());
    panel_.AttachSettings(settings);
    ASSERT_TRUE(settings.Load());

    EXPECT_EQ(Instances(),
              (Names{"TestText", "TestScale", "TestBright", "TestDomainTransform", "TestWhiter",
                     "Sweet", "TestSun", "Movie", "ShanGuang", "QiuDaiWoFei"}));
    EXPECT_EQ(Params("TestText").at("color"), "0000FFFF");
    EXPECT_EQ(Params("TestText").at("back_color"), "808080FF");
    EXPECT_EQ(Params("TestText").count("font_size"), 0u);
    EXPECT_EQ(Params("TestSun").at("type"), "1");
    EXPECT_EQ(Params("TestScale").at("scale"), "1.00");
    EXPECT_EQ(Params("TestBright").at("brightness"), "80");
    // The first page shows, whatever else the settings turned on.
    EXPECT_TRUE(panel_.Tab(CSpecialDlg::IDC_TAB_SUBTITLE).IsSelected());
    EXPECT_TRUE(panel_.Subtitle().isVisibleTo(&panel_));
    EXPECT_FALSE(panel_.Beauty().isVisibleTo(&panel_));

    ASSERT_TRUE(settings.Save());
    EXPECT_EQ(Read(),
              R"({"Deco":[{"1":0,"2":0,"3":0,"4":1,"5":1}],)"
              R"("Filter":[{"1":1,"2":1,"3":0,"4":1,"5":1}],)"
              R"("Text":[{"bkcolor":8421504,"bkdegree":2,"color":255,"direction":1,"font":1,)"
              R"("isChose":1,"pos":2,"size":-1,"text":"hello"}],)"
              R"("White":[{"MeiBai":100,"MoPi":30,"ShouShen":0,"isMeiBai":1,"isMoPi":1,)"
              R"("isShouShen":1}],)"
              R"("m_Lyric":[{"isShow":1}]})"
              "\n");
}

TEST_F(EffectsPanel, TabsSwitchPagesAndLeaveTheEffectsOn) {
    panel_.Tab(CSpecialDlg::IDC_TAB_BEAUTY).click();
    EXPECT_TRUE(panel_.Beauty().isVisibleTo(&panel_));
    panel_.Beauty().Switch(CSpecialWitheDlg::kWhitening).click();
    panel_.Tab(CSpecialDlg::IDC_TAB_DECORATION).click();
    panel_.Tab(CSpecialDlg::IDC_TAB_DECORATION).click();
    EXPECT_TRUE(panel_.Decoration().isVisibleTo(&panel_));
    EXPECT_FALSE(panel_.Beauty().isVisibleTo(&panel_));
    for (int id = CSpecialDlg::IDC_TAB_SUBTITLE; id <= CSpecialDlg::IDC_TAB_DECORATION; ++id) {
        EXPECT_EQ(panel_.Tab(id).IsSelected(), id == CSpecialDlg::IDC_TAB_DECORATION);
    }
    EXPECT_EQ(Instances(), Names{"TestBright"});
}

TEST_F(EffectsPanel, EveryControlLiesInsideItsPageAndThePagesBesideTheTabs) {
    // Hidden ones too: the tags show later.
    const QRect panelArea(0, 0, 390, 508);
    for (QWidget* page : std::initializer_list<QWidget*>{&panel_.Subtitle(), &panel_.Beauty(),
                                                         &panel_.Filter(), &panel_.Decoration()}) {
        EXPECT_TRUE(panelArea.contains(page->geometry())) << page->metaObject()->className();
        EXPECT_GE(page->x(), panel_.Tab(CSpecialDlg::IDC_TAB_SUBTITLE).width());
        for (QWidget* child : page->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            EXPECT_TRUE(page->rect().contains(child->geometry()))
                << page->metaObject()->className() << " " << child->metaObject()->className()
                << " at " << child->x() << "," << child->y() << " " << child->width() << "x"
                << child->height();
        }
    }
}
