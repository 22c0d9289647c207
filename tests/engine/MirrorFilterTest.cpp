#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "EffectManager.h"

namespace {

// A 5 x 3 picture stored bottom row first, each pixel's blue byte naming its (x, y) as seen.
struct Frame {
    static constexpr int kWidth = 5;
    static constexpr int kHeight = 3;
    std::vector<uint8_t> bytes = std::vector<uint8_t>(kWidth * kHeight * 3);
    EM::EffectImage image;

    Frame() {
        image.pixels = bytes.data();
        image.width = kWidth;
        image.height = kHeight;
        image.stride = kWidth * 3;
        for (int y = 0; y < kHeight; ++y) {
            for (int x = 0; x < kWidth; ++x) {
                Pixel(x, y)[0] = static_cast<uint8_t>(y * 10 + x);
                Pixel(x, y)[1] = 7;
                Pixel(x, y)[2] = 9;
            }
        }
    }
    uint8_t* Pixel(int x, int yFromTop) { return image.Row(kHeight - 1 - yFromTop) + x * 3; }
    int Id(int x, int yFromTop) { return Pixel(x, yFromTop)[0]; }
};

void RunMirror(Frame& frame, const EM::ParamMap& params) {
    EM::EffectManager engine;
    engine.AddFilter("m", "MirrorFilter", params);
    engine.DoFilter(&frame.image);
}

}  // namespace

TEST(MirrorFilter, HorizontalSwapsLeftAndRight) {
    Frame frame;
    RunMirror(frame, {{"dside", "false"}, {"hflip", "true"}, {"vflip", "false"}});
    for (int y = 0; y < Frame::kHeight; ++y) {
        for (int x = 0; x < Frame::kWidth; ++x) {
            EXPECT_EQ(frame.Id(x, y), y * 10 + (Frame::kWidth - 1 - x));
        }
    }
    EXPECT_EQ(frame.Pixel(0, 0)[1], 7);
    EXPECT_EQ(frame.Pixel(0, 0)[2], 9);
}

TEST(MirrorFilter, VerticalTurnsUpsideDown) {
    Frame frame;
    RunMirror(frame, {{"dside", "false"}, {"hflip", "false"}, {"vflip", "true"}});
    for (int y = 0; y < Frame::kHeight; ++y) {
        for (int x = 0; x < Frame::kWidth; ++x) {
            EXPECT_EQ(frame.Id(x, y), (Frame::kHeight - 1 - y) * 10 + x);
        }
    }
}

TEST(MirrorFilter, DoubleSideMirrorsTheLeftHalfOntoTheRight) {
    Frame frame;
    RunMirror(frame, {{"dside", "true"}, {"hflip", "false"}, {"vflip", ""}});
    for (int y = 0; y < Frame::kHeight; ++y) {
        const std::array<int, 5> expected{0, 1, 2, 1, 0};
        for (int x = 0; x < Frame::kWidth; ++x) {
            EXPECT_EQ(frame.Id(x, y), y * 10 + expected[x]);
        }
    }
}

TEST(MirrorFilter, EmptyOrFalseValuesLeaveThePictureAlone) {
    Frame frame;
    const auto before = frame.bytes;
    RunMirror(frame, {{"dside", ""}, {"hflip", "false"}, {"vflip", "yes"}});
    EXPECT_EQ(frame.bytes, before);
}

// Rows long enough for the shuffled runs of five pixels, of every length modulo five, and with
// the stride padding that camera frames may carry: every byte as a plain per-pixel copy gives it.
TEST(MirrorFilter, LongRowsMatchAPlainPixelByPixelMirror) {
    std::mt19937 random(11);
    for (int width : {640, 641, 37, 38, 39, 40, 6, 7, 1}) {
        const int height = 3, stride = width * 3 + 5;
        std::vector<uint8_t> original(static_cast<size_t>(stride) * height);
        for (uint8_t& byte : original) {
            byte = static_cast<uint8_t>(random());
        }
        for (const char* key : {"hflip", "dside"}) {
            std::vector<uint8_t> bytes = original;
            EM::EffectImage image;
            image.pixels = bytes.data();
            image.width = width;
            image.height = height;
            image.stride = stride;
            EM::EffectManager engine;
            engine.AddFilter("m", "MirrorFilter", {{key, "true"}});
            engine.DoFilter(&image);
            std::vector<uint8_t> expected = original;
            for (int y = 0; y < height; ++y) {
                const uint8_t* in = original.data() + y * stride;
                uint8_t* out = expected.data() + y * stride;
                for (int x = 0; x < width; ++x) {
                    const bool hflip = std::string(key) == "hflip";
                    if (hflip || x >= width - width / 2) {
                        std::memcpy(out + x * 3, in + (width - 1 - x) * 3, 3);
                    }
                }
            }
            ASSERT_EQ(bytes, expected) << key << " width " << width;
        }
    }
}
