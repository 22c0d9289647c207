#include <fontconfig/fontconfig.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "DecorationDefinitions.h"
#include "EffectRules.h"
#include "SubtitleFonts.h"
#include "TagList.h"

using namespace zavreo::effects;

TEST(BeautyValues, SliderPositionsGiveTheEngineStrings) {
    const struct {
        int position;
        const char *scale, *brightness, *level;
    } cases[] = {{0, "1.00", "0", "0"},     {25, "0.50", "20", "7"},   {33, "0.34", "26", "9"},
                 {50, "0.00", "40", "15"},  {51, "-0.02", "40", "15"}, {70, "-0.40", "56", "21"},
                 {100, "-1.00", "80", "30"}};
    for (const auto& c : cases) {
        EXPECT_EQ(ScaleValue(c.position), c.scale) << c.position;
        EXPECT_EQ(BrightnessValue(c.position), c.brightness) << c.position;
        EXPECT_EQ(LevelValue(c.position), c.level) << c.position;
    }
}

TEST(FormatColorHex, SixUppercaseDigitsBlueFirstWhateverTheStoredValue) {
    EXPECT_EQ(FormatColorHex(0xFF0000), "FF0000");  // blue
    EXPECT_EQ(FormatColorHex(0), "000000");
    EXPECT_EQ(FormatColorHex(0x0000FF), "0000FF");  // red
    EXPECT_EQ(FormatColorHex(0x00000F), "00000F");
    EXPECT_EQ(FormatColorHex(0x808080), "808080");
    // Out of 24 bits, as a hand-edited settings file may hold.
    EXPECT_EQ(FormatColorHex(-1), "FFFFFF");
    EXPECT_EQ(FormatColorHex(0x7F123456), "123456");
    EXPECT_EQ(FormatColorHex(-16777216), "000000");
}

TEST(SubtitleTables, IndexesMapToStringsAndNothingOutsideTheLists) {
    EXPECT_EQ(FontSizeAt(0), "12");
    EXPECT_EQ(FontSizeAt(7), "96");
    EXPECT_EQ(PosYAt(0), "0");
    EXPECT_EQ(PosYAt(1), "500");
    EXPECT_EQ(PosYAt(2), "1000");
    EXPECT_EQ(SpeedAt(0), "0");
    EXPECT_EQ(SpeedAt(1), "80");
    EXPECT_EQ(SpeedAt(2), "-80");
    EXPECT_EQ(AlphaAt(0), "00");
    EXPECT_EQ(AlphaAt(1), "7F");
    EXPECT_EQ(AlphaAt(2), "FF");
    for (int outside : {-1, 3, 1000}) {
        EXPECT_FALSE(PosYAt(outside));
        EXPECT_FALSE(SpeedAt(outside));
        EXPECT_FALSE(AlphaAt(outside));
    }
    EXPECT_FALSE(FontSizeAt(8));
    EXPECT_TRUE(SubtitleFontFile(4).empty());
    EXPECT_TRUE(SubtitleFontFile(-1).empty());
}

namespace {

// The family names of the first face in `file`.
std::string Families(const std::string& file) {
    std::string names;
    int count = 0;
    if (FcPattern* face =
            FcFreeTypeQuery(reinterpret_cast<const FcChar8*>(file.c_str()), 0, nullptr, &count)) {
        FcChar8* name = nullptr;
        for (int i = 0; FcPatternGetString(face, FC_FAMILY, i, &name) == FcResultMatch; ++i) {
            names += reinterpret_cast<const char*>(name);
            names += ';';
        }
        FcPatternDestroy(face);
    }
    return names;
}

}  // namespace

TEST(SubtitleFonts, EachChoiceResolvesToAnInstalledFaceOfItsStyle) {
    // The faces the setup script installs; 黑体 and 微软雅黑 differ.
    const char* expected[] = {"Serif CJK", "Sans CJK", "UKai", "WenQuanYi Micro Hei"};
    for (int i = 0; i < 4; ++i) {
        const std::string& file = SubtitleFontFile(i);
        ASSERT_TRUE(std::filesystem::is_regular_file(file)) << i << " " << file;
        EXPECT_NE(Families(file).find(expected[i]), std::string::npos)
            << i << " " << file << " " << Families(file);
    }
}

TEST(SunRule, TheSharedInstanceFollowsTheSetOfSunPresets) {
    // {} -> {3}: add "0"; {4} -> {3, 4}: modify "2"; {} -> {4}: add "1".
    EXPECT_EQ(SunOn(kLeftSun, false).call, SunCall::kAdd);
    EXPECT_EQ(SunOn(kLeftSun, false).type, "0");
    EXPECT_EQ(SunOn(kRightSun, false).type, "1");
    EXPECT_EQ(SunOn(kLeftSun, true).call, SunCall::kModify);
    EXPECT_EQ(SunOn(kLeftSun, true).type, "2");
    EXPECT_EQ(SunOn(kRightSun, true).type, "2");
    // {3, 4} -> {4}: "1"; {3, 4} -> {3}: "0"; the last one out removes it.
    EXPECT_EQ(SunOff(kLeftSun, true).call, SunCall::kModify);
    EXPECT_EQ(SunOff(kLeftSun, true).type, "1");
    EXPECT_EQ(SunOff(kRightSun, true).type, "0");
    EXPECT_EQ(SunOff(kRightSun, false).call, SunCall::kRemove);
    EXPECT_FALSE(SunOff(kLeftSun, false).type);
}

TEST(TagList, KeepsActivationOrderWithoutDuplicates) {
    TagList tags;
    EXPECT_TRUE(tags.Add(2));
    EXPECT_TRUE(tags.Add(5));
    EXPECT_FALSE(tags.Add(2));
    EXPECT_FALSE(tags.Add(0));
    EXPECT_FALSE(tags.Add(6));
    EXPECT_TRUE(tags.Add(1));
    EXPECT_EQ(tags.Entries(), (std::vector<int>{2, 5, 1}));
    EXPECT_TRUE(tags.RemoveAt(1));
    EXPECT_EQ(tags.Entries(), (std::vector<int>{2, 1}));
    EXPECT_FALSE(tags.RemoveAt(2));
    EXPECT_EQ(tags.At(2), 0);
    EXPECT_EQ(tags.At(-1), 0);
}

TEST(TagList, OnlyTheRightQuarterCloses) {
    const QRect tag(100, 50, 81, 26);  // 0.75 x 81 = 60.75 -> from x 160
    EXPECT_FALSE(TagList::InCloseArea(tag, {159, 60}));
    EXPECT_TRUE(TagList::InCloseArea(tag, {160, 60}));
    EXPECT_TRUE(TagList::InCloseArea(tag, {180, 50}));
    EXPECT_TRUE(TagList::InCloseArea(tag, {180, 75}));
    EXPECT_FALSE(TagList::InCloseArea(tag, {181, 60}));
    EXPECT_FALSE(TagList::InCloseArea(tag, {170, 76}));
    EXPECT_FALSE(TagList::InCloseArea(tag, {170, 49}));
}

TEST(Decorations, DefinitionsListEveryFrameInOrder) {
    const auto definitions = BuildDecorationDefinitions();
    const size_t frames[] = {21, 27, 19, 53, 7};
    for (size_t i = 0; i < definitions.size(); ++i) {
        const ParamMap& d = definitions[i];
        EXPECT_EQ(d.at("fps"), "10");
        EXPECT_EQ(d.at("loop"), "true");
        EXPECT_EQ(d.at("delay"), "5000");
        EXPECT_EQ(d.size(), i == 1 ? 6u : 4u);
        const std::string& pictures = d.at("pictures");
        EXPECT_EQ(static_cast<size_t>(std::count(pictures.begin(), pictures.end(), ',')) + 1,
                  frames[i]);
        EXPECT_NE(pictures.back(), ',');
        EXPECT_EQ(pictures.find(' '), std::string::npos);
    }
    EXPECT_EQ(definitions[1].at("pos_x"), "0");
    EXPECT_EQ(definitions[1].at("pos_y"), "800");
    const std::string& fly = definitions[4].at("pictures");
    EXPECT_TRUE(
        fly.starts_with("guajian/求带我飞/求带我飞00.png,guajian/求带我飞/求带我飞01.png,"));
    EXPECT_TRUE(fly.ends_with(",guajian/求带我飞/求带我飞06.png"));
    const std::string& flash = definitions[3].at("pictures");
    EXPECT_TRUE(flash.starts_with("guajian/闪光/闪光0001.png,guajian/闪光/闪光0002.png,"));
    EXPECT_TRUE(flash.ends_with(",guajian/闪光/闪光0053.png"));
}
