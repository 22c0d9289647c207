#include <json/value.h>

#include <atomic>
#include <thread>

#include "CSpecialDeco.h"
#include "CSpecialFilter.h"
#include "EffectsFixture.h"

using Names = std::vector<std::string>;

namespace {

QStringList Captions(CTaggedGridPage& page) {
    QStringList shown;
    for (int i = 0; i < CTaggedGridPage::kEntries; ++i) {
        if (page.Tag(i).isVisibleTo(&page)) {
            shown << page.Tag(i).text();
        }
    }
    return shown;
}

class TaggedPage : public EffectsFixture {
protected:
    // A mouse click on a tag at a fraction of its width.
    static void ClickTag(CPngButton& tag, double across) {
        const QPoint at(static_cast<int>(tag.width() * across), tag.height() / 2);
        Press(&tag, at);
        Release(&tag, at);
    }
};

class FilterPage : public TaggedPage {
protected:
    void SetUp() override {
        EffectsFixture::SetUp();
        page_.show();
    }
    std::string SunType() const {
        const auto params = Params("TestSun");
        return params.count("type") ? params.at("type") : "<none>";
    }
    CSpecialFilter page_{nullptr, context_};
};

class DecorationPage : public TaggedPage {
protected:
    void SetUp() override {
        EffectsFixture::SetUp();
        page_.show();
    }
    CSpecialDeco page_{nullptr, context_};
};

}  // namespace

TEST_F(FilterPage, SunPresetsShareOneInstanceWhoseTypeFollowsThem) {
    page_.Thumbnail(3).click();
    EXPECT_EQ(Instances(), Names{"TestSun"});
    EXPECT_EQ(SunType(), "0");
    page_.Thumbnail(4).click();
    EXPECT_EQ(Instances(), Names{"TestSun"});
    EXPECT_EQ(SunType(), "2");
    ClickTag(page_.Tag(0), 0.9);  // left sun
    EXPECT_EQ(SunType(), "1");
    EXPECT_EQ(Captions(page_), QStringList{"右太阳光"});
    ClickTag(page_.Tag(0), 0.9);
    EXPECT_TRUE(Instances().empty());

    page_.Thumbnail(4).click();
    EXPECT_EQ(SunType(), "1");
    page_.Thumbnail(3).click();
    EXPECT_EQ(SunType(), "2");
    ClickTag(page_.Tag(0), 0.9);  // right sun
    EXPECT_EQ(SunType(), "0");
}

TEST_F(FilterPage, TagsFollowActivationOrderAndCloseOnlyInTheirRightQuarter) {
    page_.Thumbnail(2).click();
    page_.Thumbnail(5).click();
    page_.Thumbnail(1).click();
    EXPECT_EQ(Captions(page_), (QStringList{"甜美可人", "16:9", "美白柔肤"}));
    EXPECT_EQ(Instances(), (Names{"Sweet", "Movie", "TestWhiter"}));
    EXPECT_EQ(page_.Highlighted(), 1);

    // Clicking an active preset again moves only the highlight.
    page_.Thumbnail(5).click();
    EXPECT_EQ(page_.Highlighted(), 5);
    EXPECT_EQ(Instances(), (Names{"Sweet", "Movie", "TestWhiter"}));
    EXPECT_EQ(Captions(page_).size(), 3);

    ClickTag(page_.Tag(1), 0.5);
    EXPECT_EQ(Captions(page_).size(), 3);
    EXPECT_EQ(page_.Highlighted(), 5);
    ClickTag(page_.Tag(1), 0.8);
    EXPECT_EQ(Captions(page_), (QStringList{"甜美可人", "美白柔肤"}));
    EXPECT_FALSE(page_.Tag(2).isVisibleTo(&page_));
    EXPECT_EQ(Instances(), (Names{"Sweet", "TestWhiter"}));
    EXPECT_EQ(page_.Highlighted(), 0);

    Json::Value written;
    page_.FillSettings(written);
    EXPECT_EQ(written.size(), 5u);
    for (const auto& [key, on] : {std::pair{"1", 1}, {"2", 1}, {"3", 0}, {"4", 0}, {"5", 0}}) {
        EXPECT_EQ(written[key].asInt(), on) << key;
    }
}

TEST_F(FilterPage, SavedPresetsRestoreInNumberOrder) {
    Json::Value saved;
    saved["5"] = 1;
    saved["3"] = 1;
    saved["4"] = 1;
    saved["1"] = 0;
    saved["2"] = "1";  // not an integer: off
    page_.ApplySettings(saved);
    EXPECT_EQ(Instances(), (Names{"TestSun", "Movie"}));
    EXPECT_EQ(SunType(), "2");
    EXPECT_EQ(Captions(page_), (QStringList{"左太阳光", "右太阳光", "16:9"}));
    EXPECT_EQ(page_.Highlighted(), 5);
}

TEST_F(DecorationPage, EachDecorationIsItsOwnOverlayWithItsDefinition) {
    page_.Thumbnail(2).click();
    EXPECT_EQ(TypeOf("LiWuShuaQi"), "OverlayFilter");
    EXPECT_EQ(Params("LiWuShuaQi"), deco_[1]);
    EXPECT_EQ(Params("LiWuShuaQi").size(), 6u);
    page_.Thumbnail(4).click();
    const auto flash = Params("ShanGuang");
    EXPECT_EQ(flash.size(), 4u);
    EXPECT_EQ(std::count(flash.at("pictures").begin(), flash.at("pictures").end(), ','), 52);
    EXPECT_EQ(Instances(), (Names{"LiWuShuaQi", "ShanGuang"}));
}

TEST_F(DecorationPage, ClosingATagRemovesItsOverlayAndShiftsTheRest) {
    page_.Thumbnail(3).click();
    page_.Thumbnail(1).click();
    page_.Thumbnail(5).click();
    EXPECT_EQ(Captions(page_), (QStringList{"求关注", "求守护", "求带我飞"}));
    ClickTag(page_.Tag(0), 0.95);
    EXPECT_EQ(Captions(page_), (QStringList{"求守护", "求带我飞"}));
    EXPECT_EQ(Instances(), (Names{"QiuShouHu", "QiuDaiWoFei"}));
    EXPECT_EQ(page_.Highlighted(), 0);
}

TEST_F(DecorationPage, ASavedFiveAloneRestoresOnlyIt) {
    Json::Value only;
    only["5"] = 1;
    for (const char* key : {"1", "2", "3", "4"}) {
        only[key] = 0;
    }
    page_.ApplySettings(only);
    EXPECT_EQ(Instances(), Names{"QiuDaiWoFei"});
    EXPECT_EQ(Captions(page_), QStringList{"求带我飞"});
}

TEST_F(DecorationPage, AllFiveSavedRestoreInNumberOrder) {
    Json::Value every;
    for (const char* key : {"3", "1", "5", "2", "4"}) {
        every[key] = 1;
    }
    page_.ApplySettings(every);
    EXPECT_EQ(Instances(),
              (Names{"QiuShouHu", "LiWuShuaQi", "QiuGuanZhu", "ShanGuang", "QiuDaiWoFei"}));
    EXPECT_EQ(Captions(page_), (QStringList{"求守护", "礼物刷起", "求关注", "闪光", "求带我飞"}));
    EXPECT_EQ(page_.Highlighted(), 5);
}

TEST_F(DecorationPage, FramesKeepFlowingWhileADecorationIsChosen) {
    // Decoding the 53 pictures takes far longer than a frame; it must not hold the pipeline.
    std::atomic<bool> stop{false};
    std::atomic<int> frames{0};
    std::thread camera([&] {
        std::vector<uint8_t> frame(zavreo::kFrameBytes, 90);
        while (!stop) {
            callback_.BufferCB(0, frame.data(), static_cast<long>(frame.size()));
            ++frames;
        }
    });
    while (frames < 2) {
        std::this_thread::yield();
    }
    const int before = frames;
    page_.Thumbnail(4).click();
    const int during = frames - before;
    stop = true;
    camera.join();
    EXPECT_EQ(Instances(), Names{"ShanGuang"});
    EXPECT_GE(during, 5);
}
