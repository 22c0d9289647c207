#include <gtest/gtest.h>
#include <linux/videodev2.h>

#include "FrameConvert.h"
#include "TestFrames.h"

using namespace zavreo;

namespace {

// The shared frame's size and the large frame's: every conversion is checked at both.
struct Size {
    int width, height;
};
constexpr Size kSizes[] = {{640, 480}, {1280, 720}};

// Pixel (x, y) as seen, top row 0: blue a horizontal ramp, green a vertical ramp, red a pattern
// that differs between neighbours so that swapped or unaveraged samples show.
struct Bgr {
    int b, g, r;
};
Bgr Seen(Size size, int x, int y) {
    return {x * 255 / (size.width - 1), y * 255 / (size.height - 1), (x * 37 + y * 11) & 255};
}

std::vector<uint8_t> RampFrame(Size size) {
    std::vector<uint8_t> frame(static_cast<size_t>(size.width) * size.height * 3);
    for (int y = 0; y < size.height; ++y) {
        uint8_t* row = frame.data() + static_cast<size_t>(size.height - 1 - y) * size.width * 3;
        for (int x = 0; x < size.width; ++x) {
            const Bgr p = Seen(size, x, y);
            row[x * 3] = p.b, row[x * 3 + 1] = p.g, row[x * 3 + 2] = p.r;
        }
    }
    return frame;
}

// BT.601 limited range in its common 8-bit integer form.
int Y(Bgr p) {
    return ((66 * p.r + 129 * p.g + 25 * p.b + 128) >> 8) + 16;
}
int U(Bgr p) {
    return ((-38 * p.r - 74 * p.g + 112 * p.b + 128) >> 8) + 128;
}
int V(Bgr p) {
    return ((112 * p.r - 94 * p.g - 18 * p.b + 128) >> 8) + 128;
}
// The rounded mean of several pixels, channel by channel.
Bgr Mean(std::initializer_list<Bgr> pixels) {
    const int n = static_cast<int>(pixels.size());
    Bgr sum{0, 0, 0};
    for (const Bgr& p : pixels) {
        sum.b += p.b, sum.g += p.g, sum.r += p.r;
    }
    return {(sum.b + n / 2) / n, (sum.g + n / 2) / n, (sum.r + n / 2) / n};
}

std::vector<uint8_t> Convert(uint32_t fourcc, Size size) {
    const auto frame = RampFrame(size);
    std::vector<uint8_t> out(ConvertedFrameBytes(fourcc, size.width, size.height));
    EXPECT_TRUE(ConvertSharedFrame(frame.data(), fourcc, out.data(), size.width, size.height));
    return out;
}

// Counts the bytes that differ from the reference, reporting the first.
template <typename Reference>
int Mismatches(const std::vector<uint8_t>& out, Reference reference) {
    int bad = 0;
    for (size_t i = 0; i < out.size(); ++i) {
        const int want = reference(i);
        if (out[i] != want && bad++ == 0) {
            ADD_FAILURE() << "byte " << i << ": " << int(out[i]) << " instead of " << want;
        }
    }
    return bad;
}

}  // namespace

TEST(FrameConvert, PackedYuvMatchesTheReferenceByteForByte) {
    for (const Size size : kSizes) {
        const int w = size.width;
        for (const bool yuyv : {true, false}) {
            const auto out = Convert(yuyv ? V4L2_PIX_FMT_YUYV : V4L2_PIX_FMT_UYVY, size);
            ASSERT_EQ(out.size(), size_t(w) * size.height * 2);
            EXPECT_EQ(Mismatches(out,
                                 [&](size_t i) {
                                     const int y = static_cast<int>(i / (w * 2));
                                     const int x0 = static_cast<int>(i % (w * 2)) / 4 * 2;
                                     const Bgr left = Seen(size, x0, y);
                                     const Bgr right = Seen(size, x0 + 1, y);
                                     const Bgr pair = Mean({left, right});
                                     switch (i % 4) {
                                         case 0:
                                             return yuyv ? Y(left) : U(pair);
                                         case 1:
                                             return yuyv ? U(pair) : Y(left);
                                         case 2:
                                             return yuyv ? Y(right) : V(pair);
                                         default:
                                             return yuyv ? V(pair) : Y(right);
                                     }
                                 }),
                      0)
                << (yuyv ? "YUYV " : "UYVY ") << w;
        }
    }
}

TEST(FrameConvert, I420MatchesTheReferenceWithChromaOfEachTwoByTwoBlock) {
    for (const Size size : kSizes) {
        const int w = size.width;
        const auto out = Convert(V4L2_PIX_FMT_YUV420, size);
        const size_t lumaBytes = size_t(w) * size.height;
        const size_t chromaBytes = lumaBytes / 4;
        ASSERT_EQ(out.size(), lumaBytes + 2 * chromaBytes);
        EXPECT_EQ(Mismatches(out,
                             [&](size_t i) {
                                 if (i < lumaBytes) {
                                     return Y(Seen(size, int(i % w), int(i / w)));
                                 }
                                 const size_t c = (i - lumaBytes) % chromaBytes;
                                 const int x = int(c % (w / 2)) * 2;
                                 const int y = int(c / (w / 2)) * 2;
                                 const Bgr block =
                                     Mean({Seen(size, x, y), Seen(size, x + 1, y),
                                           Seen(size, x, y + 1), Seen(size, x + 1, y + 1)});
                                 return i < lumaBytes + chromaBytes ? U(block) : V(block);
                             }),
                  0)
            << w;
    }
}

TEST(FrameConvert, RgbFormatsAreTheSeenPicturesTopRowFirst) {
    for (const Size size : kSizes) {
        const int stride = size.width * 3;
        for (const bool rgb : {false, true}) {
            const auto out = Convert(rgb ? V4L2_PIX_FMT_RGB24 : V4L2_PIX_FMT_BGR24, size);
            ASSERT_EQ(out.size(), size_t(stride) * size.height);
            EXPECT_EQ(Mismatches(out,
                                 [&](size_t i) {
                                     const int x = int(i % stride) / 3;
                                     const Bgr p = Seen(size, x, int(i / stride));
                                     const int bgr[3] = {p.b, p.g, p.r};
                                     return bgr[rgb ? 2 - i % 3 : i % 3];
                                 }),
                      0)
                << (rgb ? "RGB3 " : "BGR3 ") << size.width;
        }
    }
}

TEST(FrameConvert, BgrxIsTheSeenPictureWithAnOpaquePaddingByte) {
    for (const Size size : kSizes) {
        const int stride = size.width * 4;
        const auto out = Convert(V4L2_PIX_FMT_XBGR32, size);
        ASSERT_EQ(out.size(), size_t(stride) * size.height);
        EXPECT_EQ(Mismatches(out,
                             [&](size_t i) {
                                 const int x = int(i % stride) / 4;
                                 const Bgr p = Seen(size, x, int(i / stride));
                                 const int bgrx[4] = {p.b, p.g, p.r, 255};
                                 return bgrx[i % 4];
                             }),
                  0)
            << size.width;
    }
}

TEST(FrameConvert, KnownColoursLandOnTheirStudioRangeValues) {
    // Anchors the shared reference above to independent values: white, black and pure red.
    EXPECT_EQ(Y({255, 255, 255}), 235);
    EXPECT_EQ(Y({0, 0, 0}), 16);
    EXPECT_EQ(U({255, 255, 255}), 128);
    EXPECT_EQ(V({0, 0, 0}), 128);
    EXPECT_NEAR(Y({0, 0, 255}), 82, 1);
    EXPECT_NEAR(U({0, 0, 255}), 90, 1);
    EXPECT_NEAR(V({0, 0, 255}), 240, 1);
}

TEST(FrameConvert, UnknownFormatsAndSizesAreRefused) {
    const auto frame = PatternFrame(640, 480);
    std::vector<uint8_t> out(kFrameBytes);
    EXPECT_FALSE(SupportedPixelFormat(V4L2_PIX_FMT_MJPEG));
    EXPECT_EQ(ConvertedFrameBytes(V4L2_PIX_FMT_NV12), 0u);
    EXPECT_FALSE(ConvertSharedFrame(frame.data(), V4L2_PIX_FMT_MJPEG, out.data()));
    // Odd sides have no whole chroma pairs; rows wider than the largest frame no room.
    EXPECT_EQ(ConvertedFrameBytes(V4L2_PIX_FMT_YUYV, 639, 480), 0u);
    EXPECT_EQ(ConvertedFrameBytes(V4L2_PIX_FMT_YUYV, 7680, 4320), 0u);
    EXPECT_FALSE(ConvertSharedFrame(frame.data(), V4L2_PIX_FMT_YUYV, out.data(), 640, 479));
}
