#include <gtest/gtest.h>

#include "RecordArguments.h"
#include "RecordOptions.h"

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

}  // namespace
