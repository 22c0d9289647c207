#include <gtest/gtest.h>
#include <linux/videodev2.h>

#include "FrameConvert.h"
#include "TestFrames.h"

using namespace zavreo;

namespace {

// Pixel (x, y) as seen, top row 0: blue a horizontal ramp, green a vertical ramp, red a pattern
// that differs between neighbours so that swapped or unaveraged samples show.
struct Bgr {
    int b, g, r;
};
Bgr Seen(int x, int y) {
    return {x * 255 / (kFrameWidth - 1), y * 255 / (kFrameHeight - 1), (x * 37 + y * 11) & 255};
}

std::vector<uint8_t> RampFrame() {
    std::vector<uint8_t> frame(kFrameBytes);
    for (int y = 0; y < kFrameHeight; ++y) {
        uint8_t* row = frame.data() + static_cast<size_t>(kFrameHeight - 1 - y) * kFrameStride;
        for (int x = 0; x < kFrameWidth; ++x) {
            const Bgr p = Seen(x, y);
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

std::vector<uint8_t> Convert(uint32_t fourcc) {
    const auto frame = RampFrame();
    std::vector<uint8_t> out(ConvertedFrameBytes(fourcc));
    EXPECT_TRUE(ConvertSharedFrame(frame.data(), fourcc, out.data()));
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
    for (const bool yuyv : {true, false}) {
        const auto out = Convert(yuyv ? V4L2_PIX_FMT_YUYV : V4L2_PIX_FMT_UYVY);
        ASSERT_EQ(out.size(), size_t(kFrameWidth) * kFrameHeight * 2);
        EXPECT_EQ(Mismatches(out,
                             [&](size_t i) {
                                 const int y = static_cast<int>(i / (kFrameWidth * 2));
                                 const int x0 = static_cast<int>(i % (kFrameWidth * 2)) / 4 * 2;
                                 const Bgr left = Seen(x0, y), right = Seen(x0 + 1, y);
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
            << (yuyv ? "YUYV" : "UYVY");
    }
}

TEST(FrameConvert, I420MatchesTheReferenceWithChromaOfEachTwoByTwoBlock) {
    const auto out = Convert(V4L2_PIX_FMT_YUV420);
    const size_t lumaBytes = size_t(kFrameWidth) * kFrameHeight;
    const size_t chromaBytes = lumaBytes / 4;
    ASSERT_EQ(out.size(), lumaBytes + 2 * chromaBytes);
    EXPECT_EQ(Mismatches(out,
                         [&](size_t i) {
                             if (i < lumaBytes) {
                                 return Y(Seen(int(i % kFrameWidth), int(i / kFrameWidth)));
                             }
                             const size_t c = (i - lumaBytes) % chromaBytes;
                             const int x = int(c % (kFrameWidth / 2)) * 2;
                             const int y = int(c / (kFrameWidth / 2)) * 2;
                             const Bgr block = Mean(
                                 {Seen(x, y), Seen(x + 1, y), Seen(x, y + 1), Seen(x + 1, y + 1)});
                             return i < lumaBytes + chromaBytes ? U(block) : V(block);
                         }),
              0);
}

TEST(FrameConvert, RgbFormatsAreTheSeenPicturesTopRowFirst) {
    for (const bool rgb : {false, true}) {
        const auto out = Convert(rgb ? V4L2_PIX_FMT_RGB24 : V4L2_PIX_FMT_BGR24);
        ASSERT_EQ(out.size(), kFrameBytes);
        EXPECT_EQ(Mismatches(out,
                             [&](size_t i) {
                                 const int x = int(i % kFrameStride) / 3;
                                 const Bgr p = Seen(x, int(i / kFrameStride));
                                 const int bgr[3] = {p.b, p.g, p.r};
                                 return bgr[rgb ? 2 - i % 3 : i % 3];
                             }),
                  0)
            << (rgb ? "RGB3" : "BGR3");
    }
}

TEST(FrameConvert, BgrxIsTheSeenPictureWithAnOpaquePaddingByte) {
    const auto out = Convert(V4L2_PIX_FMT_XBGR32);
    ASSERT_EQ(out.size(), size_t(kFrameWidth) * kFrameHeight * 4);
    EXPECT_EQ(Mismatches(out,
                         [&](size_t i) {
                             const int x = int(i % (kFrameWidth * 4)) / 4;
                             const Bgr p = Seen(x, int(i / (kFrameWidth * 4)));
                             const int bgrx[4] = {p.b, p.g, p.r, 255};
                             return bgrx[i % 4];
                         }),
              0);
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

TEST(FrameConvert, UnknownFormatsAreRefused) {
    const auto frame = PatternFrame(640, 480);
    std::vector<uint8_t> out(kFrameBytes);
    EXPECT_FALSE(SupportedPixelFormat(V4L2_PIX_FMT_MJPEG));
    EXPECT_EQ(ConvertedFrameBytes(V4L2_PIX_FMT_NV12), 0u);
    EXPECT_FALSE(ConvertSharedFrame(frame.data(), V4L2_PIX_FMT_MJPEG, out.data()));
}
