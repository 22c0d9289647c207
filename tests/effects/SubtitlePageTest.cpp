#include <json/value.h>

#include "CSpecialLyric.h"
#include "EffectsFixture.h"
#include "SubtitleFonts.h"

using zavreo::effects::ParamMap;

namespace {

class SubtitlePage : public EffectsFixture {
protected:
    // As the user picks an item.
    void Choose(int controlId, int index) {
        CBitComboBox& list = page_.List(controlId);
        list.setCurrentIndex(index);
        emit list.activated(index);
    }
    ParamMap Text() const { return Params("TestText"); }

    CSpecialLyric page_{nullptr, context_};
};

}  // namespace

TEST_F(SubtitlePage, SwitchingOnSendsTheElevenKeysThenOnlyWhatChanges) {
    // The colour keys are in the map from the start, nothing is in the engine.
    EXPECT_EQ(text_, (ParamMap{{"color", "FF0000FF"}, {"back_color", "8080807F"}}));
    EXPECT_TRUE(Instances().empty());

    page_.Switch().click();
    ASSERT_TRUE(page_.IsOn());
    EXPECT_EQ(Instances(), std::vector<std::string>{"TestText"});
    EXPECT_EQ(TypeOf("TestText"), "TextFilter");
    EXPECT_EQ(Text(), (ParamMap{{"text", "欢迎使用Zavreo直播助手"},
                                {"font_file", zavreo::effects::SubtitleFontFile(1)},
                                {"font_size", "36"},
                                {"pos_x", "0"},
                                {"pos_y", "1000"},
                                {"speed", "-80"},
                                {"color", "FF0000FF"},
                                {"back_color", "8080807F"},
                                {"scroll", "true"},
                                {"showback", "true"},
                                {"random_color", "false"}}));
    EXPECT_TRUE(text_.empty());

    Choose(CSpecialLyric::IDC_SIZE, 4);
    EXPECT_EQ(text_, (ParamMap{{"font_size", "60"}}));
    EXPECT_EQ(Text().at("font_size"), "60");
    Choose(CSpecialLyric::IDC_FONT, 2);
    EXPECT_EQ(text_,
              (ParamMap{{"font_size", "60"}, {"font_file", zavreo::effects::SubtitleFontFile(2)}}));
    EXPECT_EQ(Text().at("font_file"), zavreo::effects::SubtitleFontFile(2));

    Choose(CSpecialLyric::IDC_POSITION, 0);
    Choose(CSpecialLyric::IDC_DIRECTION, 0);
    EXPECT_EQ(Text().at("pos_y"), "0");
    EXPECT_EQ(Text().at("speed"), "0");
    EXPECT_EQ(Text().at("scroll"), "true");

    Choose(CSpecialLyric::IDC_TRANSPARENCY, 0);
    EXPECT_EQ(Text().at("back_color"), "80808000");

    // Each change of the text is sent whole.
    page_.Text().setPlainText(QStringLiteral("晚上好"));
    EXPECT_EQ(Text().at("text"), "晚上好");
    page_.Text().moveCursor(QTextCursor::End);
    page_.Text().insertPlainText(QStringLiteral("!"));
    EXPECT_EQ(Text().at("text"), "晚上好!");

    page_.Switch().click();
    EXPECT_FALSE(page_.IsOn());
    EXPECT_TRUE(Instances().empty());
}

TEST_F(SubtitlePage, ColoursAreBlueGreenRedDigitsAndAlpha) {
    page_.Switch().click();
    const struct {
        unsigned value;
        const char* color;
    } cases[] = {{0x000000, "000000FF"}, {0x0000FF, "0000FFFF"}, {0x00000F, "00000FFF"}};
    for (const auto& c : cases) {
        page_.TextColor().SetColor(c.value);
        EXPECT_EQ(Text().at("color"), c.color);
    }
    page_.BackColor().SetColor(0x102030);
    EXPECT_EQ(Text().at("back_color"), "1020307F");
    Choose(CSpecialLyric::IDC_TRANSPARENCY, 2);
    EXPECT_EQ(Text().at("back_color"), "102030FF");
}

TEST_F(SubtitlePage, ChangesWhileOffWaitForTheNextActivation) {
    Choose(CSpecialLyric::IDC_TRANSPARENCY, 0);
    Choose(CSpecialLyric::IDC_SIZE, 0);
    page_.Text().setPlainText(QStringLiteral("abc"));
    EXPECT_TRUE(Instances().empty());
    page_.TextColor().SetColor(0x00FF00);
    EXPECT_EQ(text_.at("color"), "00FF00FF");  // kept for the activation, not sent
    EXPECT_TRUE(Instances().empty());

    page_.Switch().click();
    EXPECT_EQ(Text().at("back_color"), "80808000");
    EXPECT_EQ(Text().at("font_size"), "12");
    EXPECT_EQ(Text().at("text"), "abc");
    EXPECT_EQ(Text().at("color"), "00FF00FF");
}

TEST_F(SubtitlePage, SavedStateRestoresAndOutOfRangeValuesAreContained) {
    Json::Value saved;
    saved["isChose"] = 1;
    saved["text"] = "测试字幕";
    saved["font"] = 9;  // no such font: no selection, no key
    saved["size"] = 7;
    saved["pos"] = 1;
    saved["direction"] = -3;
    saved["color"] = -1;            // out of 24 bits
    saved["bkcolor"] = 0x7F000080;  // red 128 with stray high bits
    saved["bkdegree"] = 2;
    page_.ApplySettings(saved);

    ASSERT_TRUE(page_.IsOn());
    const ParamMap sent = Text();
    EXPECT_EQ(sent.count("font_file"), 0u);
    EXPECT_EQ(sent.count("speed"), 0u);
    EXPECT_EQ(sent.at("text"), "测试字幕");
    EXPECT_EQ(sent.at("font_size"), "96");
    EXPECT_EQ(sent.at("pos_x"), "0");
    EXPECT_EQ(sent.at("pos_y"), "500");
    EXPECT_EQ(sent.at("color"), "FFFFFFFF");
    EXPECT_EQ(sent.at("back_color"), "000080FF");
    EXPECT_EQ(page_.List(CSpecialLyric::IDC_FONT).currentIndex(), -1);

    Json::Value written;
    page_.FillSettings(written);
    EXPECT_EQ(written["isChose"].asInt(), 1);
    EXPECT_EQ(written["text"].asString(), "测试字幕");
    EXPECT_EQ(written["font"].asInt(), -1);
    EXPECT_EQ(written["size"].asInt(), 7);
    EXPECT_EQ(written["pos"].asInt(), 1);
    EXPECT_EQ(written["direction"].asInt(), -1);
    EXPECT_EQ(written["color"].asInt(), 0xFFFFFF);
    EXPECT_EQ(written["bkcolor"].asInt(), 0x000080);
    EXPECT_EQ(written["bkdegree"].asInt(), 2);
}

// A pasted 400,000-character subtitle once made config.lst too long for its own reader.
TEST_F(SubtitlePage, TextIsCutAtItsBoundFromAPasteAndFromSavedState) {
    page_.Switch().click();
    page_.Text().moveCursor(QTextCursor::End);
    page_.Text().insertPlainText(QString(400000, QChar(u'字')));
    EXPECT_EQ(page_.Text().toPlainText().size(), CSpecialLyric::kMaxTextUnits);
    EXPECT_EQ(QString::fromStdString(Text().at("text")).size(), CSpecialLyric::kMaxTextUnits);
    Json::Value group(Json::objectValue);
    page_.FillSettings(group);
    EXPECT_EQ(QString::fromStdString(group["text"].asString()).size(),
              CSpecialLyric::kMaxTextUnits);

    // A character outside the BMP is never split at the bound.
    group["text"] = QString(CSpecialLyric::kMaxTextUnits - 1, QChar(u'a')).toStdString() + "😀b";
    page_.ApplySettings(group);
    EXPECT_EQ(page_.Text().toPlainText(), QString(CSpecialLyric::kMaxTextUnits - 1, QChar(u'a')));
}
