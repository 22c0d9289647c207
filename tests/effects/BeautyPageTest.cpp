#include <json/value.h>

#include <QLabel>

#include "CSpecialWitheDlg.h"
#include "EffectsFixture.h"

using Effect = CSpecialWitheDlg::Effect;

namespace {

class BeautyPage : public EffectsFixture {
protected:
    // A drag to `position`, as the slider reports it.
    void Drag(Effect effect, int position) {
        CBitmapSlider& slider = page_.Slider(effect);
        slider.SetPos(position);
        page_.OnSliderMoved(slider.GetDlgCtrlID(), position);
    }
    std::string Sent(const char* instance, const char* key) const {
        const auto params = Params(instance);
        const auto found = params.find(key);
        return found == params.end() ? "<none>" : found->second;
    }

    CSpecialWitheDlg page_{nullptr, context_};
};

}  // namespace

TEST_F(BeautyPage, StartsOffAtFiftyAndNotDraggable) {
    for (Effect effect : {CSpecialWitheDlg::kSlimming, CSpecialWitheDlg::kWhitening,
                          CSpecialWitheDlg::kSmoothing}) {
        EXPECT_FALSE(page_.IsOn(effect));
        EXPECT_EQ(page_.Slider(effect).GetPos(), 50);
        EXPECT_FALSE(page_.Slider(effect).isEnabled());
        EXPECT_EQ(page_.Value(effect).text(), "50");
    }
    EXPECT_TRUE(Instances().empty());
}

TEST_F(BeautyPage, SwitchesAddAtTheSliderValueAndDragsModify) {
    page_.Slider(CSpecialWitheDlg::kSlimming).SetPos(0);
    page_.Switch(CSpecialWitheDlg::kSlimming).click();
    EXPECT_EQ(Sent("TestScale", "scale"), "1.00");
    EXPECT_TRUE(page_.Slider(CSpecialWitheDlg::kSlimming).isEnabled());
    EXPECT_TRUE(page_.Switch(CSpecialWitheDlg::kSlimming).IsSelected());
    Drag(CSpecialWitheDlg::kSlimming, 100);
    EXPECT_EQ(Sent("TestScale", "scale"), "-1.00");
    EXPECT_EQ(page_.Value(CSpecialWitheDlg::kSlimming).text(), "100");
    Drag(CSpecialWitheDlg::kSlimming, 50);
    EXPECT_EQ(Sent("TestScale", "scale"), "0.00");

    page_.Slider(CSpecialWitheDlg::kWhitening).SetPos(33);
    page_.Switch(CSpecialWitheDlg::kWhitening).click();
    page_.Slider(CSpecialWitheDlg::kSmoothing).SetPos(33);
    page_.Switch(CSpecialWitheDlg::kSmoothing).click();
    EXPECT_EQ(Sent("TestBright", "brightness"), "26");
    EXPECT_EQ(Sent("TestDomainTransform", "level"), "9");
    EXPECT_EQ(Instances(),
              (std::vector<std::string>{"TestScale", "TestBright", "TestDomainTransform"}));
    EXPECT_EQ(TypeOf("TestDomainTransform"), "DomainTransformFilter");

    // Each map holds only its own key.
    EXPECT_EQ(scale_.size(), 1u);
    EXPECT_EQ(brightness_.size(), 1u);

    page_.Switch(CSpecialWitheDlg::kWhitening).click();
    EXPECT_EQ(Instances(), (std::vector<std::string>{"TestScale", "TestDomainTransform"}));
    EXPECT_FALSE(page_.Slider(CSpecialWitheDlg::kWhitening).isEnabled());
}

TEST_F(BeautyPage, RestoreDefaultsModifiesWhatIsOnAndFreesTheSlimmingSlider) {
    for (Effect effect : {CSpecialWitheDlg::kSlimming, CSpecialWitheDlg::kWhitening,
                          CSpecialWitheDlg::kSmoothing}) {
        page_.Slider(effect).SetPos(90);
        page_.Switch(effect).click();
    }
    page_.RestoreButton().click();
    EXPECT_EQ(Sent("TestScale", "scale"), "0.00");
    EXPECT_EQ(Sent("TestBright", "brightness"), "40");
    EXPECT_EQ(Sent("TestDomainTransform", "level"), "15");
    for (Effect effect : {CSpecialWitheDlg::kSlimming, CSpecialWitheDlg::kWhitening,
                          CSpecialWitheDlg::kSmoothing}) {
        EXPECT_EQ(page_.Value(effect).text(), "50");
    }

    // Off, restoring makes the slimming slider draggable; a drag then moves only the label.
    page_.Switch(CSpecialWitheDlg::kSlimming).click();
    page_.Switch(CSpecialWitheDlg::kWhitening).click();
    page_.RestoreButton().click();
    EXPECT_FALSE(page_.IsOn(CSpecialWitheDlg::kSlimming));
    EXPECT_TRUE(page_.Slider(CSpecialWitheDlg::kSlimming).isEnabled());
    EXPECT_FALSE(page_.Slider(CSpecialWitheDlg::kWhitening).isEnabled());
    Drag(CSpecialWitheDlg::kSlimming, 20);
    EXPECT_EQ(page_.Value(CSpecialWitheDlg::kSlimming).text(), "20");
    EXPECT_EQ(Instances(), std::vector<std::string>{"TestDomainTransform"});
}

TEST_F(BeautyPage, KeyboardMovesTheThumbButNeitherLabelNorEffect) {
    page_.Switch(CSpecialWitheDlg::kSmoothing).click();
    CBitmapSlider& slider = page_.Slider(CSpecialWitheDlg::kSmoothing);
    Key(&slider, Qt::Key_Right);
    Pump();
    EXPECT_GT(slider.GetPos(), 50);
    EXPECT_EQ(page_.Value(CSpecialWitheDlg::kSmoothing).text(), "50");
    EXPECT_EQ(Sent("TestDomainTransform", "level"), "15");
}

TEST_F(BeautyPage, SavedStateRestoresInOrderWithPositionsClamped) {
    Json::Value saved;
    saved["isShouShen"] = 1;
    saved["isMeiBai"] = 1;
    saved["isMoPi"] = 1;
    saved["ShouShen"] = 250;
    saved["MeiBai"] = -7;
    saved["MoPi"] = 70;
    page_.ApplySettings(saved);
    EXPECT_EQ(Instances(),
              (std::vector<std::string>{"TestScale", "TestBright", "TestDomainTransform"}));
    EXPECT_EQ(Sent("TestScale", "scale"), "-1.00");
    EXPECT_EQ(Sent("TestBright", "brightness"), "0");
    EXPECT_EQ(Sent("TestDomainTransform", "level"), "21");
    EXPECT_EQ(page_.Value(CSpecialWitheDlg::kSlimming).text(), "100");
    EXPECT_EQ(page_.Value(CSpecialWitheDlg::kWhitening).text(), "0");

    Json::Value written;
    page_.FillSettings(written);
    EXPECT_EQ(written["ShouShen"].asInt(), 100);
    EXPECT_EQ(written["MeiBai"].asInt(), 0);
    EXPECT_EQ(written["MoPi"].asInt(), 70);
    EXPECT_EQ(written["isShouShen"].asInt(), 1);
    EXPECT_EQ(written.size(), 6u);
}
