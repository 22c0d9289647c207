// The chain on a 16:9 frame larger than the 640 x 480 design: decorations and the subtitle keep
// their place and size relative to the picture, as the design-size picture enlarged shows them.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "EngineScenes.h"
#include "ImageCodec.h"

namespace {

using scenes::Frame;

constexpr uint8_t kBackground = 90;

// Bounds (as seen, right and bottom exclusive) of the pixels that differ from the background,
// as fractions of the picture.
struct Bounds {
    double left = 1, top = 1, right = 0, bottom = 0;
};

Bounds Changed(const Frame& f, int x0 = 0, int x1 = -1) {
    Bounds b;
    const int w = f.image.width, h = f.image.height;
    x1 = x1 < 0 ? w : x1;
    for (int y = 0; y < h; ++y) {
        for (int x = x0; x < x1; ++x) {
            const uint8_t* p = f.At(x, y);
            if (p[0] != kBackground || p[1] != kBackground || p[2] != kBackground) {
                b.left = std::min(b.left, static_cast<double>(x) / w);
                b.right = std::max(b.right, static_cast<double>(x + 1) / w);
                b.top = std::min(b.top, static_cast<double>(y) / h);
                b.bottom = std::max(b.bottom, static_cast<double>(y + 1) / h);
            }
        }
    }
    return b;
}

// Runs one chain over a plain frame of each size at the same moment.
std::pair<Frame, Frame> Render(const std::vector<std::pair<std::string, EM::ParamMap>>& filters,
                               const std::string& type, uint32_t timeMs) {
    auto render = [&](int width, int height) {
        EM::EffectManager engine;
        for (const auto& [name, params] : filters) {
            engine.AddFilter(name, type, params);
        }
        Frame f(width, height, kBackground);
        f.image.timeMs = timeMs;
        engine.DoFilter(&f.image);
        return f;
    };
    return {render(640, 480), render(1280, 720)};
}

Frame Enlarged(const Frame& design, int width, int height) {
    Frame out(width, height);
    EM::Helper::Resize(&design.image, &out.image);
    return out;
}

}  // namespace

// Stickers at both sides and a full-frame built decoration: the large frame shows what the design
// frame shows, enlarged, to within rounding of the two enlargements.
TEST(FrameSize, DecorationsCoverTheSamePartOfALargerPicture) {
    const std::string sparkle = std::string(ZAVREO_BIN_DIR) + "/guajian/闪光/闪光0020.png";
    ASSERT_TRUE(EM::DecodeImageFile(sparkle, 4));
    const auto [design, large] = Render({{"left", scenes::Sticker(0, "0", "150")},
                                         {"right", scenes::Sticker(1, "1000", "700")},
                                         {"sparkle", {{"pictures", sparkle}}}},
                                        "OverlayFilter", 0);
    const Frame expected = Enlarged(design, 1280, 720);
    long total = 0;
    int worst = 0;
    for (size_t i = 0; i < large.bytes.size(); ++i) {
        const int difference = std::abs(large.bytes[i] - expected.bytes[i]);
        total += difference;
        worst = std::max(worst, difference);
    }
    EXPECT_LT(static_cast<double>(total) / large.bytes.size(), 0.5);
    EXPECT_LT(worst, 64);  // edges of opaque strokes, one pixel off at most
    // Each sticker alone: the same bounds, as fractions, to within a pixel of the design frame.
    const auto [stickers, largeStickers] = Render(
        {{"left", scenes::Sticker(0, "0", "150")}, {"right", scenes::Sticker(1, "1000", "700")}},
        "OverlayFilter", 0);
    for (const auto& [from, to] : {std::pair{0, 320}, std::pair{320, 640}}) {
        const Bounds want = Changed(stickers, from, to);
        const Bounds got = Changed(largeStickers, from * 2, to * 2);
        EXPECT_GT(want.right - want.left, 0.1);
        EXPECT_NEAR(got.left, want.left, 1.0 / 640);
        EXPECT_NEAR(got.right, want.right, 1.0 / 640);
        EXPECT_NEAR(got.top, want.top, 1.0 / 480);
        EXPECT_NEAR(got.bottom, want.bottom, 1.0 / 480);
    }
}

// The band spans the same share of the height at the same place; the text is as tall relative to
// the picture and starts at the same place, keeping its own proportions.
TEST(FrameSize, SubtitleBandAndTextKeepTheirPlace) {
    for (const char* posY : {"0", "1000", "350"}) {
        EM::ParamMap params = scenes::Subtitle();
        params["pos_y"] = posY;
        params["speed"] = "0";
        params["back_color"] = "000000FF";
        params["color"] = "FFFFFFFF";
        const auto [design, large] = Render({{"TestText", params}}, "TextFilter", 0);
        const Bounds band = Changed(design), bigBand = Changed(large);
        EXPECT_NEAR(bigBand.top, band.top, 2.0 / 480) << posY;
        EXPECT_NEAR(bigBand.bottom, band.bottom, 2.0 / 480) << posY;
        EXPECT_EQ(band.left, 0);
        EXPECT_EQ(band.right, 1);
        EXPECT_EQ(bigBand.left, 0);
        EXPECT_EQ(bigBand.right, 1);

        // The ink: white over the black band.
        auto ink = [](const Frame& f) {
            Bounds b;
            const int w = f.image.width, h = f.image.height;
            for (int y = 0; y < h; ++y) {
                for (int x = 0; x < w; ++x) {
                    if (f.At(x, y)[1] > 128) {
                        b.left = std::min(b.left, static_cast<double>(x) / w);
                        b.right = std::max(b.right, static_cast<double>(x + 1) / w);
                        b.top = std::min(b.top, static_cast<double>(y) / h);
                        b.bottom = std::max(b.bottom, static_cast<double>(y + 1) / h);
                    }
                }
            }
            return b;
        };
        const Bounds text = ink(design), bigText = ink(large);
        EXPECT_NEAR(bigText.top, text.top, 2.0 / 480) << posY;
        EXPECT_NEAR(bigText.bottom, text.bottom, 2.0 / 480) << posY;
        EXPECT_NEAR(bigText.left, text.left, 2.0 / 640) << posY;
        // Letters keep their shape: 1.5 times as wide on a picture twice as wide.
        EXPECT_NEAR((bigText.right - bigText.left) * 1280, (text.right - text.left) * 640 * 1.5, 6)
            << posY;
    }
}

// A scrolling subtitle crosses the large picture in the same time as the design one.
TEST(FrameSize, SubtitleCrossesInTheSameTime) {
    EM::ParamMap params = scenes::Subtitle();
    params["speed"] = "80";
    params["pos_x"] = "0";
    params["showback"] = "false";
    auto leftInk = [](const Frame& f) {
        for (int x = 0; x < f.image.width; ++x) {
            for (int y = 0; y < f.image.height; ++y) {
                if (f.At(x, y)[1] > 128 + kBackground / 2) {
                    return static_cast<double>(x) / f.image.width;
                }
            }
        }
        return -1.0;
    };
    for (const auto& size : {std::pair{640, 480}, std::pair{1280, 720}}) {
        EM::EffectManager engine;
        engine.AddFilter("t", "TextFilter", params);
        auto at = [&](uint32_t timeMs) {
            Frame f(size.first, size.second, kBackground);
            f.image.timeMs = timeMs;
            engine.DoFilter(&f.image);
            return leftInk(f);
        };
        const double start = at(1000);
        ASSERT_GE(start, 0) << size.first;
        // 80 design pixels a second, rightwards, for two seconds: a quarter of the width.
        EXPECT_NEAR(at(3000) - start, 160.0 / 640, 2.0 / size.first) << size.first;
    }
}

// A sparse decoration enlarged: pixels whose source neighbourhood is clear stay exactly as they
// were; the others change.
TEST(FrameSize, ClearPartsOfAnEnlargedDecorationLeaveThePictureExactly) {
    const std::string path = std::string(ZAVREO_BIN_DIR) + "/guajian/闪光/闪光0020.png";
    const auto picture = EM::DecodeImageFile(path, 4);
    ASSERT_TRUE(picture);
    const Frame portrait = scenes::PortraitHd();
    EM::EffectManager engine;
    engine.AddFilter("Flash", "OverlayFilter", {{"pictures", path}});
    Frame out(portrait);
    engine.DoFilter(&out.image);
    auto alpha = [&](int x, int y) {
        x = std::clamp(x, 0, 639), y = std::clamp(y, 0, 479);
        return picture->pixels[(static_cast<size_t>(y) * 640 + x) * 4 + 3];
    };
    int clear = 0, covered = 0;
    for (int y = 0; y < 720; ++y) {
        for (int x = 0; x < 1280; ++x) {
            // The design pixels the bilinear sample of (x, y) may draw on.
            const int sx = x / 2 - 1, sy = y * 2 / 3 - 1;
            bool seen = false;
            for (int dy = 0; dy <= 2 && !seen; ++dy) {
                for (int dx = 0; dx <= 2 && !seen; ++dx) {
                    seen = alpha(sx + dx, sy + dy) != 0;
                }
            }
            if (!seen) {
                ASSERT_EQ(std::memcmp(out.At(x, y), portrait.At(x, y), 3), 0) << x << "," << y;
                ++clear;
            } else if (alpha(x / 2, y * 2 / 3) == 255) {
                ++covered;
            }
        }
    }
    EXPECT_GT(covered, 1000);
    EXPECT_GT(clear, covered);
    EXPECT_NE(out.bytes, portrait.bytes);
}
