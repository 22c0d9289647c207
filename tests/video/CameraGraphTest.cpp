// Real pipelines on the stand-in camera.

#include <gtest/gtest.h>

#include <cstring>

#include "CCameraGraph.h"
#include "CSampleGrabberCB.h"
#include "CameraDiscovery.h"
#include "PreviewFrames.h"
#include "TestFrames.h"

using namespace zavreo;

namespace {

struct Capture {
    ScopedEnv standIn{"ZAVREO_TEST_CAMERA", "1"};
    ScopedEnv frameLimit;
    ScopedFrameName name;
    SharedFrame frame{name.Name()};
    EM::EffectManager engine;
    CSampleGrabberCB callback{frame, engine};
    CCameraGraph graph{callback};
    SharedFrameReader reader{name.Name()};

    // `frames`: how many frames the stand-in delivers before it vanishes (null: no end).
    explicit Capture(const char* frames = nullptr)
        : frameLimit("ZAVREO_TEST_CAMERA_FRAMES", frames) {
        EXPECT_EQ(graph.CreateObjects(), 0);
    }

    std::vector<uint8_t> Published() {
        std::vector<uint8_t> copy(kFrameBytes);
        EXPECT_TRUE(reader.CopyFrame(copy.data()));
        return copy;
    }
    // Fills the block with a marker so any camera write shows.
    void Mark() {
        std::vector<uint8_t> marker(kFrameBytes, 0x5A);
        frame.Write(marker.data());
    }
    bool Marked() {
        const auto now = Published();
        return std::all_of(now.begin(), now.end(), [](uint8_t b) { return b == 0x5A; });
    }
};

}  // namespace

TEST(CameraGraph, StandInListsItsRgbSizesWith640x480Best) {
    Capture c;
    std::vector<std::string> sizes;
    int best = -1;
    EXPECT_EQ(c.graph.ListFormats(kTestCameraName, &sizes, &best), 3);
    EXPECT_EQ(sizes, (std::vector<std::string>{"320 x 240", "640 x 480", "1280 x 720"}));
    EXPECT_EQ(best, 1);
}

TEST(CameraGraph, UnknownCameraIsNotFoundAndCannotBeBuilt) {
    Capture c;
    CameraDevice device;
    device.name = "unchanged";
    EXPECT_TRUE(c.graph.FindDeviceFilter("No Such Camera", &device));
    EXPECT_EQ(device.name, "unchanged");
    std::vector<std::string> sizes;
    int best = -1;
    EXPECT_EQ(c.graph.ListFormats("No Such Camera", &sizes, &best), -1);
    EXPECT_EQ(best, -1);
    EXPECT_LT(c.graph.StartGraph(480, 640, false, "No Such Camera", nullptr), 0);
    EXPECT_EQ(c.graph.State(), GraphReady);
}

TEST(CameraGraph, At640x480FramesReachTheSharedFrameDirectly) {
    Capture c;
    c.Mark();
    ASSERT_EQ(c.graph.StartGraph(480, 640, false, kTestCameraName, nullptr), 0);
    EXPECT_EQ(c.graph.State(), GraphRunning);
    ASSERT_TRUE(WaitFor([&] { return c.graph.FramesDelivered() >= 3; }));
    EXPECT_EQ(c.graph.DeliveredWidth(), 640);
    EXPECT_EQ(c.graph.DeliveredHeight(), 480);
    EXPECT_FALSE(c.Marked());
    c.graph.Teardown();
    EXPECT_EQ(c.graph.State(), GraphReady);
    // Nothing arrives after the teardown.
    const auto frames = c.graph.FramesDelivered();
    c.Mark();
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_TRUE(c.Marked());
    EXPECT_EQ(c.graph.FramesDelivered(), frames);
}

TEST(CameraGraph, At1280x720FramesAreScaledIntoTheSharedFrame) {
    Capture c;
    c.callback.SetCameraSize(1280, 720);
    c.Mark();
    ASSERT_EQ(c.graph.StartGraph(720, 1280, false, kTestCameraName, nullptr), 0);
    ASSERT_TRUE(WaitFor([&] { return c.graph.FramesDelivered() >= 3; }));
    EXPECT_EQ(c.graph.DeliveredWidth(), 1280);
    EXPECT_EQ(c.graph.DeliveredHeight(), 720);
    EXPECT_FALSE(c.Marked());
}

TEST(CameraGraph, ASizeTheCameraLacksKeepsItsOwnFormat) {
    Capture c;
    c.callback.SetCameraSize(800, 600);
    c.Mark();
    ASSERT_EQ(c.graph.StartGraph(600, 800, false, kTestCameraName, nullptr), 0);
    ASSERT_TRUE(WaitFor([&] { return c.graph.FramesDelivered() >= 3; }));
    EXPECT_EQ(c.graph.DeliveredWidth(), 640);
    EXPECT_EQ(c.graph.DeliveredHeight(), 480);
    // Frames of another size than the one asked for are dropped by the callback.
    EXPECT_TRUE(c.Marked());
}

TEST(CameraGraph, TheStandInPictureMovesAndIsUpright) {
    Capture c;
    ASSERT_EQ(c.graph.StartGraph(480, 640, false, kTestCameraName, nullptr), 0);
    ASSERT_TRUE(WaitFor([&] { return c.graph.FramesDelivered() >= 2; }));
    const auto first = c.Published();
    const auto frames = c.graph.FramesDelivered();
    ASSERT_TRUE(WaitFor([&] { return c.graph.FramesDelivered() >= frames + 3; }));
    EXPECT_NE(c.Published(), first);
    // Colour bars (yellow among them) on top, no yellow in the strip along the bottom.
    auto hasYellow = [&](int yAsSeen) {
        const uint8_t* row = first.data() + static_cast<size_t>(479 - yAsSeen) * kFrameStride;
        for (int x = 0; x < kFrameWidth; ++x) {
            const uint8_t* p = row + x * 3;
            if (p[0] < 60 && p[1] > 150 && p[2] > 150)
                return true;
        }
        return false;
    };
    EXPECT_TRUE(hasYellow(10));
    EXPECT_FALSE(hasYellow(470));
}

namespace {

// Colour bars (yellow among them) on top, no yellow in the strip along the bottom: the picture is
// upright. `frame` is bottom row first.
bool UprightBars(const std::vector<uint8_t>& frame, int width, int height) {
    auto hasYellow = [&](int yAsSeen) {
        const uint8_t* row = frame.data() + static_cast<size_t>(height - 1 - yAsSeen) * width * 3;
        for (int x = 0; x < width; ++x) {
            const uint8_t* p = row + x * 3;
            if (p[0] < 60 && p[1] > 150 && p[2] > 150)
                return true;
        }
        return false;
    };
    return hasYellow(height / 48) && !hasYellow(height - height / 48);
}

}  // namespace

// Like most webcams the high-definition stand-in has 1280 x 720 at 30 frames a second only as
// Motion JPEG: its sizes list the uncompressed ones, then what only comes compressed.
TEST(CameraGraph, MjpgStandInListsItsYuy2SizesThenItsCompressedOnes) {
    Capture c;
    ScopedEnv mjpg("ZAVREO_TEST_CAMERA_MJPG", "1");
    std::vector<std::string> cameras;
    c.graph.EnumCameras(&cameras);
    EXPECT_EQ(cameras, (std::vector<std::string>{kTestCameraName, kMjpgTestCameraName}));
    std::vector<std::string> sizes;
    int best = -1;
    EXPECT_EQ(c.graph.ListFormats(kMjpgTestCameraName, &sizes, &best), 4);
    EXPECT_EQ(sizes,
              (std::vector<std::string>{"640 x 480", "320 x 240", "1280 x 720", "1920 x 1080"}));
    EXPECT_EQ(best, 0);
}

// 1280 x 720 comes as Motion JPEG at 30 frames a second (not YUY2 at 10), decoded upright into
// the large frame; 640 x 480 stays uncompressed at 15.
TEST(CameraGraph, ALargeSizeTakesMotionJpegAtThirtyFramesASecond) {
    Capture c;
    ScopedEnv mjpg("ZAVREO_TEST_CAMERA_MJPG", "1");
    auto rate = [&](int width, int height) {
        c.callback.SetCameraSize(width, height);
        EXPECT_EQ(c.graph.StartGraph(height, width, false, kMjpgTestCameraName, nullptr), 0);
        EXPECT_TRUE(WaitFor([&] { return c.graph.FramesDelivered() >= 2; }));
        const auto start = c.graph.FramesDelivered();
        std::this_thread::sleep_for(std::chrono::seconds(2));
        const double fps = (c.graph.FramesDelivered() - start) / 2.0;
        EXPECT_EQ(c.graph.DeliveredWidth(), width);
        EXPECT_EQ(c.graph.DeliveredHeight(), height);
        return fps;
    };
    const double large = rate(1280, 720);
    EXPECT_GT(large, 22);
    LargeFrameReader reader(LargeFrameName(c.name.Name()));
    std::vector<uint8_t> picture;
    LargeFrameLayout layout;
    ASSERT_TRUE(reader.Read(&picture, &layout));
    EXPECT_TRUE(UprightBars(picture, 1280, 720));
    EXPECT_TRUE(UprightBars(c.Published(), 640, 480));
    c.graph.Teardown();

    const double small = rate(640, 480);
    EXPECT_LT(small, 18);
    EXPECT_GT(small, 10);
    EXPECT_FALSE(reader.Peek(&layout));
    EXPECT_TRUE(UprightBars(c.Published(), 640, 480));
    c.graph.Teardown();
}

TEST(CameraGraph, AVanishingCameraIsReportedOnce) {
    Capture c("5");
    std::atomic<int> reports{0};
    c.graph.SetFailureHandler([&] { ++reports; });
    ASSERT_EQ(c.graph.StartGraph(480, 640, false, kTestCameraName, nullptr), 0);
    ASSERT_TRUE(WaitFor([&] { return reports.load() > 0; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(reports.load(), 1);
    EXPECT_TRUE(c.graph.Failed());
    c.graph.Teardown();
}

TEST(CameraGraph, PreviewWithoutTheLoopbackDeviceShowsTheSharedFrame) {
    Capture c;
    PreviewFrames preview(c.name.Name());
    auto pattern = PatternFrame(640, 480);
    c.frame.Write(pattern.data());
    ASSERT_EQ(c.graph.StartGraph(480, 640, true, kVirtualCameraName, &preview), 0);
    EXPECT_EQ(c.graph.State(), GraphRunning);
    PreviewPicture picture;
    ASSERT_TRUE(preview.Copy(&picture));
    EXPECT_TRUE(picture.bottomUp);
    EXPECT_EQ(picture.pixels, pattern);
    c.graph.Teardown();
    EXPECT_EQ(c.graph.State(), GraphReady);
}

TEST(FrameCopy, RowsArePackedAndTurnedBottomUp) {
    // 3 x 2 pixels with 12-byte rows (stride padding as GStreamer uses for odd widths).
    const int width = 3, height = 2, stride = 12;
    std::vector<uint8_t> src(stride * height, 0xEE);
    for (int y = 0; y < height; ++y) {
        for (int i = 0; i < width * 3; ++i) {
            src[y * stride + i] = static_cast<uint8_t>(y * 100 + i);
        }
    }
    std::vector<uint8_t> out(width * height * 3, 0);
    CopyBottomUp(src.data(), stride, width, height, out.data());
    for (int i = 0; i < width * 3; ++i) {
        EXPECT_EQ(out[i], 100 + i);        // bottom row first
        EXPECT_EQ(out[width * 3 + i], i);  // then the top row
    }
}
