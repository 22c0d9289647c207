#include <gtest/gtest.h>

#include <algorithm>

#include "RecordArguments.h"
#include "RecordOptions.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

namespace {

TEST(RecordOptions, ReadsTheProgramsArgumentList) {
    const auto args = zavreo::RecordArguments(zavreo::RecordInputText("麦克风 (USB)"), "/v/a.mp4");
    ASSERT_EQ(args.size(), static_cast<size_t>(zavreo::kRecordArgumentCount));
    flashx::RecordOptions options;
    std::string error;
    ASSERT_TRUE(flashx::ParseRecordOptions(args, &options, &error)) << error;
    EXPECT_EQ(options.videoDevice, "Zavreo直播助手");
    EXPECT_EQ(options.audioDevice, "麦克风 (USB)");
    EXPECT_EQ(options.vsync, 2);
    EXPECT_EQ(options.async, 1);
    EXPECT_EQ(options.frameRate, 10);
    EXPECT_EQ(options.width, 640);
    EXPECT_EQ(options.height, 480);
    EXPECT_EQ(options.videoBitrate, 500000);
    EXPECT_EQ(options.audioBitrate, 32000);
    EXPECT_EQ(options.audioCodec, "libaacplus");
    EXPECT_EQ(options.profile, "main");
    EXPECT_EQ(options.x264Options.substr(0, 11), "keyint=250:");
    EXPECT_TRUE(options.overwrite);
    EXPECT_EQ(options.output, "/v/a.mp4");

    // No microphone: the input text ends in "audio=".
    ASSERT_TRUE(flashx::ParseRecordOptions(
        zavreo::RecordArguments(zavreo::RecordInputText(""), "/v/b.mp4"), &options, &error));
    EXPECT_EQ(options.audioDevice, "");
}

TEST(RecordOptions, RefusesUnknownOptionsAndMalformedValues) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"-f", "dshow", "-i", "video=X:audio=", "-preset", "fast", "o.mp4"},
         "unknown option -preset"},
        {{"-f", "dshow", "-i", "video=X:audio=", "-r", "ten", "o.mp4"},
         "invalid value \"ten\" for option -r"},
        {{"-f", "dshow", "-i", "video=X:audio=", "-s", "641x480", "o.mp4"},
         "invalid value \"641x480\" for option -s"},
        {{"-f", "dshow", "-i", "video=X:audio=", "-b", "5x", "o.mp4"},
         "invalid value \"5x\" for option -b"},
        {{"-f", "v4l2", "-i", "video=X:audio=", "o.mp4"},
         "format \"v4l2\" is not supported for the input"},
        {{"-i", "audio=Y", "o.mp4"}, "invalid value \"audio=Y\" for option -i"},
        {{"-i", "video=X", "-r"}, "option -r needs a value"},
        {{"-i", "video=X", "a.mp4", "b.mp4"}, "unexpected argument \"a.mp4\""},
        {{"-f", "dshow", "-y", "o.mp4"}, "no input given (-i)"},
        {{"-i", "video=X", "-y"}, "no output file given"},
    };
    for (const auto& [args, message] : cases) {
        flashx::RecordOptions options;
        std::string error;
        EXPECT_FALSE(flashx::ParseRecordOptions(args, &options, &error)) << message;
        EXPECT_EQ(error, message);
    }
}

TEST(RecordOptions, BitratesAndFilterChains) {
    EXPECT_EQ(flashx::ParseBitrate("500k"), 500000);
    EXPECT_EQ(flashx::ParseBitrate("2M"), 2000000);
    EXPECT_EQ(flashx::ParseBitrate("32000"), 32000);
    EXPECT_EQ(flashx::ParseBitrate("k"), -1);
    EXPECT_EQ(flashx::ParseBitrate("0"), -1);
    EXPECT_EQ(flashx::ParseBitrate("99999999999k"), -1);

    std::vector<std::string> skipped;
    EXPECT_EQ(flashx::KnownFilters("deccd,unsharp=7:7:0.8:5:5:0.5", &skipped),
              "unsharp=7:7:0.8:5:5:0.5");
    EXPECT_EQ(skipped, std::vector<std::string>{"deccd"});
    skipped.clear();
    EXPECT_EQ(flashx::KnownFilters("hflip,nosuch=1,,vflip", &skipped), "hflip,vflip");
    EXPECT_EQ(skipped, std::vector<std::string>{"nosuch"});
}

TEST(RecordOptions, X264SettingsTradeTheTrellisForNoLookAheadOnlyWhereAsked) {
    EXPECT_EQ(flashx::X264Params("rc-lookahead=0:b_adapt=2"), "sliced-threads=1:b-adapt=1");
    EXPECT_EQ(flashx::X264Params("b-adapt=2:ref=3:rc_lookahead=0:"), "sliced-threads=1:b-adapt=1");
    EXPECT_EQ(flashx::X264Params("rc-lookahead=10:b-adapt=2"), "sliced-threads=1");
    EXPECT_EQ(flashx::X264Params("b-adapt=2"), "sliced-threads=1");
    EXPECT_EQ(flashx::X264Params("rc-lookahead=0:b-adapt=0"), "sliced-threads=1");
    EXPECT_EQ(flashx::X264Params("rc-lookahead=0:b_adapt=2:b_adapt=1"), "sliced-threads=1");
    EXPECT_EQ(flashx::X264Params(""), "sliced-threads=1");
}

// The start of a recording and what a crash loses both wait for the encoder's first picture:
// with the program's own settings it comes out once the B-frames' pictures are in, not a
// second later.
TEST(RecordOptions, TheProgramsEncoderLetsTheFirstPictureOutAfterTheBFrames) {
    flashx::RecordOptions options;
    std::string error;
    ASSERT_TRUE(flashx::ParseRecordOptions(
        zavreo::RecordArguments(zavreo::RecordInputText(""), "/v/a.mp4"), &options, &error));
    const AVCodec* codec = avcodec_find_encoder_by_name(options.videoCodec.c_str());
    ASSERT_NE(codec, nullptr);
    AVCodecContext* encoder = avcodec_alloc_context3(codec);
    encoder->width = options.width;
    encoder->height = options.height;
    encoder->time_base = {1, options.frameRate};
    encoder->framerate = {options.frameRate, 1};
    encoder->pix_fmt = AV_PIX_FMT_YUV420P;
    encoder->bit_rate = options.videoBitrate;
    AVDictionary* settings = nullptr;
    av_dict_set(&settings, "profile", options.profile.c_str(), 0);
    av_dict_set(&settings, "x264opts", options.x264Options.c_str(), 0);
    av_dict_set(&settings, "x264-params", flashx::X264Params(options.x264Options).c_str(), 0);
    ASSERT_GE(avcodec_open2(encoder, codec, &settings), 0);
    av_dict_free(&settings);

    AVFrame* picture = av_frame_alloc();
    picture->format = encoder->pix_fmt;
    picture->width = encoder->width;
    picture->height = encoder->height;
    ASSERT_GE(av_frame_get_buffer(picture, 0), 0);
    AVPacket* packet = av_packet_alloc();
    int sent = 0;
    bool out = false;
    while (!out && sent < 30) {
        ASSERT_GE(av_frame_make_writable(picture), 0);
        for (int y = 0; y < picture->height; ++y) {
            std::fill_n(picture->data[0] + y * picture->linesize[0], picture->width,
                        static_cast<uint8_t>(y + sent * 8));
        }
        picture->pts = sent++;
        ASSERT_GE(avcodec_send_frame(encoder, picture), 0);
        out = avcodec_receive_packet(encoder, packet) >= 0;
    }
    // Two B-frames, the picture after them, and the encoder's one picture of delay.
    EXPECT_EQ(sent, 4);
    av_packet_free(&packet);
    av_frame_free(&picture);
    avcodec_free_context(&encoder);
}

}  // namespace
