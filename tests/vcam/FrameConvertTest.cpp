#include <gtest/gtest.h>
#include <linux/videodev2.h>

#include "FrameConvert.h"
#include "TestFrames.h"

using namespace zavreo;

namespace {

// A shared frame (bottom-up) whose top half as seen is `top` and bottom half `bottom` (B, G, R).
std::vector<uint8_t> TwoBands(const uint8_t top[3], const uint8_t bottom[3]) {
    std::vector<uint8_t> frame(kFrameBytes);
    for (int y = 0; y < kFrameHeight; ++y) {
        const uint8_t* colour = y < kFrameHeight / 2 ? top : bottom;
        uint8_t* row = frame.data() + static_cast<size_t>(kFrameHeight - 1 - y) * kFrameStride;
        for (int x = 0; x < kFrameWidth; ++x) {
            std::copy(colour, colour + 3, row + x * 3);
        }
    }
    return frame;
}

constexpr uint8_t kRed[3] = {0, 0, 255};
constexpr uint8_t kWhite[3] = {255, 255, 255};
constexpr uint8_t kBlack[3] = {0, 0, 0};

}  // namespace

TEST(FrameConvert, YuyvUsesStudioRangeAndTopRowFirst) {
    const auto frame = TwoBands(kRed, kWhite);
    std::vector<uint8_t> out(ConvertedFrameBytes(V4L2_PIX_FMT_YUYV));
    ASSERT_EQ(out.size(), 640u * 480 * 2);
    ASSERT_TRUE(ConvertSharedFrame(frame.data(), V4L2_PIX_FMT_YUYV, out.data()));
    // Pure red in BT.601 studio range: Y 82, U 90, V 240 (+-1 for rounding).
    EXPECT_NEAR(out[0], 82, 1);
    EXPECT_NEAR(out[1], 90, 1);
    EXPECT_NEAR(out[2], 82, 1);
    EXPECT_NEAR(out[3], 240, 1);
    const uint8_t* last = out.data() + out.size() - 4;  // bottom row as seen: white
    EXPECT_EQ(last[0], 235);
    EXPECT_EQ(last[1], 128);
    EXPECT_EQ(last[3], 128);
}

TEST(FrameConvert, UyvySwapsTheOrderWithinEachPair) {
    const auto frame = TwoBands(kRed, kRed);
    std::vector<uint8_t> yuyv(ConvertedFrameBytes(V4L2_PIX_FMT_YUYV));
    std::vector<uint8_t> uyvy(ConvertedFrameBytes(V4L2_PIX_FMT_UYVY));
    ConvertSharedFrame(frame.data(), V4L2_PIX_FMT_YUYV, yuyv.data());
    ConvertSharedFrame(frame.data(), V4L2_PIX_FMT_UYVY, uyvy.data());
    EXPECT_EQ(uyvy[0], yuyv[1]);
    EXPECT_EQ(uyvy[1], yuyv[0]);
    EXPECT_EQ(uyvy[2], yuyv[3]);
}

TEST(FrameConvert, I420PlanesFollowEachOther) {
    const auto frame = TwoBands(kBlack, kWhite);
    std::vector<uint8_t> out(ConvertedFrameBytes(V4L2_PIX_FMT_YUV420));
    ASSERT_EQ(out.size(), 640u * 480 * 3 / 2);
    ASSERT_TRUE(ConvertSharedFrame(frame.data(), V4L2_PIX_FMT_YUV420, out.data()));
    EXPECT_EQ(out[0], 16);                       // top-left luma: black
    EXPECT_EQ(out[640 * 480 - 1], 235);          // bottom-right luma: white
    EXPECT_EQ(out[640 * 480], 128);              // U plane starts after luma
    EXPECT_EQ(out[640 * 480 + 320 * 240], 128);  // V plane after U
}

TEST(FrameConvert, RgbFormatsAreFlippedAndOrdered) {
    const auto frame = PatternFrame(640, 480);
    std::vector<uint8_t> bgr(kFrameBytes), rgb(kFrameBytes);
    ASSERT_TRUE(ConvertSharedFrame(frame.data(), V4L2_PIX_FMT_BGR24, bgr.data()));
    ASSERT_TRUE(ConvertSharedFrame(frame.data(), V4L2_PIX_FMT_RGB24, rgb.data()));
    // Pixel (639, 0) as seen: blue 255 (x), green 0 (y).
    const size_t topRight = 639 * 3;
    EXPECT_EQ(bgr[topRight], 255);
    EXPECT_EQ(bgr[topRight + 1], 0);
    EXPECT_EQ(rgb[topRight + 2], 255);
    EXPECT_EQ(rgb[topRight], bgr[topRight + 2]);
    // The last row is the bottom as seen: green 255.
    EXPECT_EQ(bgr[kFrameBytes - 2], 255);
}

TEST(FrameConvert, UnknownFormatsAreRefused) {
    const auto frame = PatternFrame(640, 480);
    std::vector<uint8_t> out(kFrameBytes);
    EXPECT_FALSE(SupportedPixelFormat(V4L2_PIX_FMT_MJPEG));
    EXPECT_EQ(ConvertedFrameBytes(V4L2_PIX_FMT_NV12), 0u);
    EXPECT_FALSE(ConvertSharedFrame(frame.data(), V4L2_PIX_FMT_MJPEG, out.data()));
}
