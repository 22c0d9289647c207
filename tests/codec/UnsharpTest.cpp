// The recorder's own unsharp filter against libavfilter's, byte for byte.

#include "Unsharp.h"

#include <gtest/gtest.h>

#include <random>

extern "C" {
#include <libavfilter/avfilter.h>
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
}

namespace {

struct FrameDeleter {
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
using FramePtr = std::unique_ptr<AVFrame, FrameDeleter>;

FramePtr Picture(int width, int height) {
    FramePtr frame(av_frame_alloc());
    frame->format = AV_PIX_FMT_YUV420P;
    frame->width = width;
    frame->height = height;
    av_frame_get_buffer(frame.get(), 0);
    return frame;
}

// Noise over a few hard edges, so both the blur and the clipping are exercised.
FramePtr Scene(int width, int height, unsigned seed) {
    FramePtr frame = Picture(width, height);
    std::mt19937 random(seed);
    for (int plane = 0; plane < 3; ++plane) {
        const int w = plane == 0 ? width : (width + 1) / 2;
        const int h = plane == 0 ? height : (height + 1) / 2;
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                const int edge = (x / 9 + y / 7) % 3 == 0 ? 200 : 20;
                frame->data[plane][y * frame->linesize[plane] + x] =
                    static_cast<uint8_t>(edge + random() % 50);
            }
        }
    }
    return frame;
}

// libavfilter's result for `filter` on `in`.
FramePtr Reference(const AVFrame* in, const std::string& filter) {
    AVFilterGraph* graph = avfilter_graph_alloc();
    AVFilterContext *source = nullptr, *unsharp = nullptr, *sink = nullptr;
    const std::string args = "video_size=" + std::to_string(in->width) + "x" +
                             std::to_string(in->height) +
                             ":pix_fmt=" + std::to_string(AV_PIX_FMT_YUV420P) + ":time_base=1/10";
    const size_t equals = filter.find('=');
    FramePtr out(av_frame_alloc());
    const bool ok = avfilter_graph_create_filter(&source, avfilter_get_by_name("buffer"), "in",
                                                 args.c_str(), nullptr, graph) >= 0 &&
                    avfilter_graph_create_filter(
                        &unsharp, avfilter_get_by_name("unsharp"), "unsharp",
                        equals == std::string::npos ? nullptr : filter.substr(equals + 1).c_str(),
                        nullptr, graph) >= 0 &&
                    avfilter_graph_create_filter(&sink, avfilter_get_by_name("buffersink"), "out",
                                                 nullptr, nullptr, graph) >= 0 &&
                    avfilter_link(source, 0, unsharp, 0) >= 0 &&
                    avfilter_link(unsharp, 0, sink, 0) >= 0 &&
                    avfilter_graph_config(graph, nullptr) >= 0 &&
                    av_buffersrc_add_frame_flags(source, const_cast<AVFrame*>(in),
                                                 AV_BUFFERSRC_FLAG_KEEP_REF) >= 0 &&
                    av_buffersink_get_frame(sink, out.get()) >= 0;
    avfilter_graph_free(&graph);
    return ok ? std::move(out) : nullptr;
}

TEST(Unsharp, MatchesLibavfilterByteForByte) {
    const struct {
        const char* filter;
        int width, height;
    } cases[] = {
        {"unsharp=7:7:0.8:5:5:0.5", 640, 480},  // the program's
        {"unsharp=7:7:0.8:5:5:0.5", 37, 23},    // odd sizes, mask wider than the chroma
        {"unsharp=3:9:-1.5:9:3:2", 64, 48},     // blurring, uneven masks
        {"unsharp=luma_msize_x=13:luma_msize_y=13:luma_amount=5:chroma_amount=0", 96, 40},
        {"unsharp", 50, 30},  // the defaults
    };
    for (const auto& c : cases) {
        const auto settings = flashx::ParseUnsharpChain(c.filter);
        ASSERT_TRUE(settings.has_value()) << c.filter;
        const FramePtr in = Scene(c.width, c.height, 11);
        const FramePtr expected = Reference(in.get(), c.filter);
        ASSERT_NE(expected, nullptr) << c.filter;
        FramePtr out = Picture(c.width, c.height);
        flashx::UnsharpFilter filter(*settings);
        filter.Apply(in.get(), out.get());
        for (int plane = 0; plane < 3; ++plane) {
            const int w = plane == 0 ? c.width : (c.width + 1) / 2;
            const int h = plane == 0 ? c.height : (c.height + 1) / 2;
            for (int y = 0; y < h; ++y) {
                ASSERT_EQ(0, memcmp(out->data[plane] + y * out->linesize[plane],
                                    expected->data[plane] + y * expected->linesize[plane], w))
                    << c.filter << ", plane " << plane << ", row " << y;
            }
        }
    }
}

TEST(Unsharp, OnlyALoneUnsharpIsTakenOver) {
    const auto program = flashx::ParseUnsharpChain("unsharp=7:7:0.8:5:5:0.5");
    ASSERT_TRUE(program.has_value());
    EXPECT_EQ(program->luma.width, 7);
    EXPECT_EQ(program->chroma.height, 5);
    EXPECT_EQ(program->luma.amount, 52428);
    EXPECT_EQ(program->chroma.amount, 32768);
    EXPECT_FALSE(flashx::ParseUnsharpChain("unsharp=7:7:0.8,hflip").has_value());
    EXPECT_FALSE(flashx::ParseUnsharpChain("hflip").has_value());
    EXPECT_FALSE(flashx::ParseUnsharpChain("").has_value());
    // Refused by libavfilter: an even mask.
    EXPECT_FALSE(flashx::ParseUnsharpChain("unsharp=6:6:1").has_value());
    // Masks too large together.
    EXPECT_FALSE(flashx::ParseUnsharpChain("unsharp=15:13:1").has_value());
}

}  // namespace
