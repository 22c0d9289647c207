#include <gtest/gtest.h>

#include "CSampleGrabberCB.h"
#include "TestFrames.h"

using namespace zavreo;

namespace {

struct Pipeline {
    ScopedFrameName name;
    SharedFrame frame{name.Name()};
    EM::EffectManager engine;
    CSampleGrabberCB callback{frame, engine};
    SharedFrameReader reader{name.Name()};

    std::vector<uint8_t> Published() {
        std::vector<uint8_t> copy(kFrameBytes);
        EXPECT_TRUE(reader.CopyFrame(copy.data()));
        return copy;
    }
    std::vector<std::string> Chain() const {
        std::vector<std::string> names;
        for (const auto& info : engine.List())
            names.push_back(info.name);
        return names;
    }
    EM::ParamMap ParamsOf(const std::string& instance) const {
        for (const auto& info : engine.List()) {
            if (info.name == instance)
                return info.params;
        }
        ADD_FAILURE() << instance << " not in the chain";
        return {};
    }
};

const uint8_t* PixelAsSeen(const std::vector<uint8_t>& frame, int x, int y) {
    return frame.data() + (479 - y) * 1920 + x * 3;
}

}  // namespace

TEST(SampleGrabber, FullSizeFramesAreProcessedInPlaceAndPublished) {
    Pipeline p;
    p.callback.ConfigureEffect(kEffectAdd, kEffectMirror, {{"hflip", "true"}});
    auto input = PatternFrame(640, 480);
    const auto original = input;
    EXPECT_EQ(p.callback.BufferCB(0.0, input.data(), static_cast<long>(input.size())), 0);
    const auto published = p.Published();
    EXPECT_EQ(published, input);  // the capture buffer itself was processed
    for (int x : {0, 100, 639}) {
        EXPECT_EQ(PixelAsSeen(published, x, 7)[0], PixelAsSeen(original, 639 - x, 7)[0]);
    }
    std::vector<uint8_t> last;
    int width = 0, height = 0;
    ASSERT_TRUE(p.callback.CopyLastFrame(&last, &width, &height));
    EXPECT_EQ(last, published);
    EXPECT_EQ(width, 640);
    EXPECT_EQ(height, 480);
}

TEST(SampleGrabber, OtherCameraSizesAreStretchedTo640x480) {
    Pipeline p;
    p.callback.SetCameraSize(1280, 720);
    auto input = PatternFrame(1280, 720);
    p.callback.BufferCB(0.0, input.data(), static_cast<long>(input.size()));
    const auto published = p.Published();
    // Corners as seen keep their colours: blue follows x, green follows y.
    EXPECT_NEAR(PixelAsSeen(published, 0, 0)[0], 0, 1);
    EXPECT_NEAR(PixelAsSeen(published, 639, 0)[0], 255, 1);
    EXPECT_NEAR(PixelAsSeen(published, 0, 479)[1], 255, 1);
    EXPECT_NEAR(PixelAsSeen(published, 320, 240)[0], 128, 2);
    EXPECT_NEAR(PixelAsSeen(published, 320, 240)[1], 128, 2);
}

TEST(SampleGrabber, FramesOfAnUnexpectedSizeAreDropped) {
    Pipeline p;
    auto first = PatternFrame(640, 480);
    p.callback.BufferCB(0.0, first.data(), static_cast<long>(first.size()));
    std::vector<uint8_t> odd(320 * 240 * 3, 200);
    p.callback.BufferCB(0.0, odd.data(), static_cast<long>(odd.size()));
    p.callback.SetCameraSize(1280, 720);
    std::vector<uint8_t> wrong(800 * 600 * 3, 9);
    p.callback.BufferCB(0.0, wrong.data(), static_cast<long>(wrong.size()));
    // A 921600-byte frame while a bigger camera size is recorded is not 1280 x 720 either.
    std::vector<uint8_t> full(kFrameBytes, 9);
    p.callback.BufferCB(0.0, full.data(), static_cast<long>(full.size()));
    EXPECT_EQ(p.Published(), PatternFrame(640, 480));
}

TEST(SampleGrabber, NoFrameYetMeansNoLastFrame) {
    Pipeline p;
    std::vector<uint8_t> out;
    int width = 0, height = 0;
    EXPECT_FALSE(p.callback.CopyLastFrame(&out, &width, &height));
}

TEST(SampleGrabber, ModifyRecreatesOnlyTheKindsThatSaySo) {
    Pipeline p;
    for (int kind = 0; kind <= 9; ++kind) {
        p.callback.ConfigureEffect(kEffectAdd, kind, {{"k", "v"}});
    }
    const std::vector<std::string> initial{
        "TestText",   "TestBright",          "TestScale", "TestOverlay", "TestMirror",
        "TestWhiter", "TestDomainTransform", "TestSun",   "Movie",       "Sweet"};
    ASSERT_EQ(p.Chain(), initial);
    // Kinds without parameters on add really got none.
    EXPECT_TRUE(p.ParamsOf("TestWhiter").empty());
    EXPECT_TRUE(p.ParamsOf("Movie").empty());
    EXPECT_EQ(p.ParamsOf("TestBright"), (EM::ParamMap{{"k", "v"}}));

    for (int kind = 0; kind <= 9; ++kind) {
        p.callback.ConfigureEffect(kEffectModify, kind, {{"k", "w"}});
    }
    // Re-created instances moved to the end, in the order they were modified.
    EXPECT_EQ(p.Chain(), (std::vector<std::string>{"TestText", "TestBright", "TestScale",
                                                   "TestMirror", "TestDomainTransform", "TestSun",
                                                   "TestOverlay", "TestWhiter", "Movie", "Sweet"}));
    EXPECT_EQ(p.ParamsOf("TestText"), (EM::ParamMap{{"k", "w"}}));
    EXPECT_EQ(p.ParamsOf("TestOverlay"), (EM::ParamMap{{"k", "w"}}));
    EXPECT_TRUE(p.ParamsOf("Sweet").empty());

    for (int kind = 0; kind <= 9; ++kind) {
        p.callback.ConfigureEffect(kEffectRemove, kind, {});
    }
    EXPECT_TRUE(p.Chain().empty());
}

TEST(SampleGrabber, MirrorTakesOnlyItsThreeKeys) {
    Pipeline p;
    p.callback.ConfigureEffect(kEffectAdd, kEffectMirror, {{"hflip", "true"}, {"extra", "1"}});
    EXPECT_EQ(p.ParamsOf("TestMirror"),
              (EM::ParamMap{{"dside", ""}, {"hflip", "true"}, {"vflip", ""}}));
    p.callback.ConfigureEffect(kEffectModify, kEffectMirror, {{"dside", "true"}});
    EXPECT_EQ(p.ParamsOf("TestMirror"),
              (EM::ParamMap{{"dside", "true"}, {"hflip", ""}, {"vflip", ""}}));
}

TEST(SampleGrabber, OutOfRangeKindsAndOperationsChangeNothing) {
    Pipeline p;
    p.callback.ConfigureEffect(kEffectAdd, 10, {{"k", "v"}});
    p.callback.ConfigureEffect(3, kEffectBright, {});
    p.callback.ConfigureEffect(kEffectAdd, -1, {});
    p.callback.ConfigureOverlay(5, "deco", {});
    EXPECT_TRUE(p.Chain().empty());
}

TEST(SampleGrabber, OverlaysAreNamedByTheCaller) {
    Pipeline p;
    p.callback.ConfigureOverlay(kEffectAdd, "猫耳", {{"fps", "10"}});
    p.callback.ConfigureOverlay(kEffectAdd, "other", {});
    p.callback.ConfigureOverlay(kEffectModify, "猫耳", {{"fps", "20"}});
    EXPECT_EQ(p.Chain(), (std::vector<std::string>{"other", "猫耳"}));
    EXPECT_EQ(p.ParamsOf("猫耳"), (EM::ParamMap{{"fps", "20"}}));
    p.callback.ConfigureOverlay(kEffectRemove, "猫耳", {});
    EXPECT_EQ(p.Chain(), (std::vector<std::string>{"other"}));
}
