#include <gtest/gtest.h>

#include <cstring>
#include <thread>

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

namespace {

std::vector<uint8_t> Stretched(const std::vector<uint8_t>& frame, int width, int height,
                               int toWidth, int toHeight) {
    std::vector<uint8_t> out(static_cast<size_t>(toWidth) * toHeight * 3);
    EM::EffectImage from, to;
    from.pixels = const_cast<uint8_t*>(frame.data());
    from.width = width, from.height = height, from.stride = width * 3;
    to.pixels = out.data();
    to.width = toWidth, to.height = toHeight, to.stride = toWidth * 3;
    EM::Helper::Resize(&from, &to);
    return out;
}

const uint8_t* LargePixelAsSeen(const std::vector<uint8_t>& frame, int x, int y) {
    return frame.data() + static_cast<size_t>(719 - y) * 3840 + x * 3;
}

}  // namespace

// 16:9 camera sizes of 1280 x 720 and more run the chain at 1280 x 720; everything else keeps it
// at 640 x 480 and no large frame exists.
TEST(SampleGrabber, LargeSixteenByNineSizesChooseTheLargeChain) {
    Pipeline p;
    LargeFrameReader large(LargeFrameName(p.name.Name()));
    LargeFrameLayout layout;
    for (auto [width, height] : std::vector<std::pair<int, int>>{
             {640, 480}, {1280, 800}, {960, 540}, {1280, 960}, {320, 240}}) {
        p.callback.SetCameraSize(width, height);
        EXPECT_FALSE(p.callback.Chain().Large()) << width << "x" << height;
        EXPECT_FALSE(large.Peek(&layout)) << width << "x" << height;
    }
    for (auto [width, height] :
         std::vector<std::pair<int, int>>{{1280, 720}, {1920, 1080}, {3840, 2160}}) {
        p.callback.SetCameraSize(width, height);
        EXPECT_EQ(p.callback.Chain().width, 1280);
        EXPECT_EQ(p.callback.Chain().height, 720);
        ASSERT_TRUE(large.Peek(&layout)) << width << "x" << height;
        EXPECT_EQ(layout.width, 1280);
        EXPECT_EQ(layout.height, 720);
        EXPECT_EQ(layout.fps, 30);
    }
    p.callback.SetCameraSize(640, 480);
    EXPECT_FALSE(large.Peek(&layout));
}

// The large frame holds the chain's own 1280 x 720 output, the right way up (bottom row first
// like the shared frame); the shared frame the same picture stretched to 640 x 480; the photo
// the large one.
TEST(SampleGrabber, ALargeCameraFrameIsProcessedAtItsSizeAndPublishedInBoth) {
    Pipeline p;
    p.callback.SetCameraSize(1280, 720);
    // Until the camera delivers, the large frame shows what the shared frame shows.
    LargeFrameReader large(LargeFrameName(p.name.Name()));
    std::vector<uint8_t> copy;
    LargeFrameLayout layout;
    ASSERT_TRUE(large.Read(&copy, &layout));
    EXPECT_EQ(copy, Stretched(p.Published(), 640, 480, 1280, 720));

    p.callback.ConfigureEffect(kEffectAdd, kEffectMirror, {{"hflip", "true"}});
    auto input = PatternFrame(1280, 720);
    const auto original = input;
    p.callback.BufferCB(0.0, input.data(), static_cast<long>(input.size()));
    ASSERT_TRUE(large.Read(&copy, &layout));
    EXPECT_EQ(copy, input);  // processed in the capture buffer itself
    for (int y : {0, 300, 719}) {
        for (int x : {0, 17, 1279}) {
            ASSERT_EQ(std::memcmp(LargePixelAsSeen(copy, x, y),
                                  LargePixelAsSeen(original, 1279 - x, y), 3),
                      0)
                << x << "," << y;
        }
    }
    EXPECT_EQ(p.Published(), Stretched(copy, 1280, 720, 640, 480));
    std::vector<uint8_t> last;
    int width = 0, height = 0;
    ASSERT_TRUE(p.callback.CopyLastFrame(&last, &width, &height));
    EXPECT_EQ(width, 1280);
    EXPECT_EQ(height, 720);
    EXPECT_EQ(last, copy);
}

// A larger 16:9 camera is brought to 1280 x 720 before the chain.
TEST(SampleGrabber, ALargerCameraIsScaledToTheLargeChain) {
    Pipeline p;
    p.callback.SetCameraSize(1920, 1080);
    auto input = PatternFrame(1920, 1080);
    p.callback.BufferCB(0.0, input.data(), static_cast<long>(input.size()));
    LargeFrameReader large(LargeFrameName(p.name.Name()));
    std::vector<uint8_t> copy;
    LargeFrameLayout layout;
    ASSERT_TRUE(large.Read(&copy, &layout));
    EXPECT_EQ(copy, Stretched(input, 1920, 1080, 1280, 720));
    // A frame of the chain's size from a camera asked for 1920 x 1080 is not taken as one.
    auto wrong = PatternFrame(1280, 720);
    std::fill(wrong.begin(), wrong.end(), 3);
    p.callback.BufferCB(0.0, wrong.data(), static_cast<long>(wrong.size()));
    ASSERT_TRUE(large.Read(&copy, &layout));
    EXPECT_EQ(copy, Stretched(input, 1920, 1080, 1280, 720));
}

// At 30 frames a second the large frame takes every frame, the shared frame one in two: it
// keeps the 15 a second its readers know.
TEST(SampleGrabber, TheSharedFrameKeepsFifteenFramesASecondBesideALargeCamera) {
    Pipeline p;
    p.callback.SetCameraSize(1280, 720);
    LargeFrameReader large(LargeFrameName(p.name.Name()));
    std::vector<uint8_t> copy;
    LargeFrameLayout layout;
    auto frame = [&](uint8_t level) {
        std::vector<uint8_t> f(1280 * 720 * 3, level);
        p.callback.BufferCB(0.0, f.data(), static_cast<long>(f.size()));
        EXPECT_TRUE(large.Read(&copy, &layout));
        return copy.front();
    };
    EXPECT_EQ(frame(10), 10);
    EXPECT_EQ(p.Published().front(), 10);
    EXPECT_EQ(frame(20), 20);  // at once: the shared frame waits
    EXPECT_EQ(p.Published().front(), 10);
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    EXPECT_EQ(frame(30), 30);
    EXPECT_EQ(p.Published().front(), 30);
}
