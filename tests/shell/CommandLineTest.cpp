#include <gtest/gtest.h>

#include "CommandLine.h"
#include "InstanceRequest.h"
#include "PlatformChoice.h"

namespace {

using Action = zavreo::CommandLine::Action;

zavreo::CommandLine Parse(std::vector<std::string> arguments) {
    return zavreo::ParseCommandLine(arguments);
}

}  // namespace

TEST(CommandLine, HelpVersionAndEffectInTheirOrderOfPrecedence) {
    EXPECT_EQ(Parse({}).action, Action::kRun);
    EXPECT_EQ(Parse({"--help"}).action, Action::kHelp);
    EXPECT_EQ(Parse({"-h"}).action, Action::kHelp);
    EXPECT_EQ(Parse({"--version"}).action, Action::kVersion);
    // Help before version before an effect, whatever their order.
    EXPECT_EQ(Parse({"--version", "--help"}).action, Action::kHelp);
    EXPECT_EQ(Parse({"--effect", "4", "--version"}).action, Action::kVersion);

    const zavreo::CommandLine effect = Parse({"--effect", "1"});
    EXPECT_EQ(effect.action, Action::kEffect);
    EXPECT_EQ(effect.effect, 1);
    EXPECT_EQ(Parse({"--effect=9"}).effect, 9);
    // The last one given counts.
    EXPECT_EQ(Parse({"--effect", "2", "--effect=7"}).effect, 7);
    EXPECT_EQ(zavreo::VersionText(), "zavreo 17\n");
}

TEST(CommandLine, MistakesNameTheArgumentAndWinOverHelp) {
    for (const std::vector<std::string>& wrong :
         std::vector<std::vector<std::string>>{{"--bogus"},
                                               {"-x"},
                                               {"--help=1"},
                                               {"--effect"},
                                               {"--effect", "0"},
                                               {"--effect", "10"},
                                               {"--effect", "01"},
                                               {"--effect", "+3"},
                                               {"--effect", " 3"},
                                               {"--effect="},
                                               {"--effect=3x"},
                                               {"--effects=3"},
                                               {"song.mp3"},
                                               {"--"},
                                               {"--effect", "3", "extra"},
                                               {"--bogus", "--help"}}) {
        const zavreo::CommandLine line = Parse(wrong);
        EXPECT_EQ(line.action, Action::kUsageError) << wrong.front();
        EXPECT_FALSE(line.error.empty());
        EXPECT_EQ(line.error.find('\n'), std::string::npos);
    }
    EXPECT_NE(Parse({"--bogus"}).error.find("--bogus"), std::string::npos);
    EXPECT_NE(Parse({"--effect", "12"}).error.find("12"), std::string::npos);
    // Control characters are not echoed into the terminal, and a huge argument is cut short.
    EXPECT_EQ(Parse({"--\x1b[2J"}).error.find('\x1b'), std::string::npos);
    EXPECT_LT(Parse({"--" + std::string(100000, 'a')}).error.size(), 200u);
}

TEST(InstanceRequest, EffectLinesReadAsTheyAreWrittenAndNothingElse) {
    for (int number = 1; number <= 9; ++number) {
        EXPECT_EQ(zavreo::RequestedEffect(zavreo::EffectRequestLine(number)), number);
    }
    EXPECT_EQ(zavreo::EffectRequestLine(4), "effect 4");
    for (const char* other : {"", "show", "effect", "effect 0", "effect 10", "effect  1",
                              "effect 1 2", "EFFECT 1", "effect x", "effect -1"}) {
        EXPECT_EQ(zavreo::RequestedEffect(other), 0) << other;
    }
}

TEST(InstanceRequest, EveryAnswerToAnEffectRequestHasItsExitCode) {
    using Reply = zavreo::ChannelReply;
    EXPECT_EQ(zavreo::EffectRequestOutcome(3, Reply{true, "ok"}).exitCode, 0);
    EXPECT_EQ(zavreo::EffectRequestOutcome(3, Reply{true, "ok"}).message, "");
    for (const Reply& reply : {Reply{false, ""}, Reply{true, "failed"}, Reply{true, ""},
                               Reply{true, "something newer"}}) {
        const zavreo::EffectOutcome outcome = zavreo::EffectRequestOutcome(3, reply);
        EXPECT_EQ(outcome.exitCode, 1) << reply.answer;
        EXPECT_NE(outcome.message.find("音效 3"), std::string::npos) << outcome.message;
        EXPECT_EQ(outcome.message.back(), '\n');
    }
    EXPECT_NE(zavreo::EffectRequestOutcome(3, Reply{}).message.find("没有在运行"),
              std::string::npos);
    EXPECT_NE(zavreo::EffectRequestOutcome(3, Reply{true, "failed"}).message.find("无法播放"),
              std::string::npos);
}

TEST(PlatformChoice, XWinsWhereBothAnswerAndTheUsersChoiceStands) {
    zavreo::DisplayOffer both;
    both.xDisplay = ":1";
    both.waylandDisplay = "wayland-1";
    both.xAnswers = both.waylandAnswers = both.waylandPlugin = true;
    EXPECT_EQ(zavreo::ChoosePlatform(both).platform, "xcb");

    zavreo::DisplayOffer onlyWayland = both;
    onlyWayland.xDisplay.clear();
    onlyWayland.xAnswers = false;
    EXPECT_EQ(zavreo::ChoosePlatform(onlyWayland).platform, "wayland");
    // XWayland named but not answering: Wayland it is.
    zavreo::DisplayOffer deadX = both;
    deadX.xAnswers = false;
    EXPECT_EQ(zavreo::ChoosePlatform(deadX).platform, "wayland");

    zavreo::DisplayOffer onlyX = both;
    onlyX.waylandDisplay.clear();
    onlyX.waylandAnswers = onlyX.waylandPlugin = false;
    EXPECT_EQ(zavreo::ChoosePlatform(onlyX).platform, "xcb");

    for (zavreo::DisplayOffer offer : {both, onlyWayland, zavreo::DisplayOffer{}}) {
        offer.userPlatform = "offscreen";
        const zavreo::PlatformDecision decision = zavreo::ChoosePlatform(offer);
        EXPECT_EQ(decision.platform, "");
        EXPECT_EQ(decision.missing, "");
    }
}

TEST(PlatformChoice, WithoutADisplayTheMessageSaysWhatIsMissing) {
    const zavreo::PlatformDecision none = zavreo::ChoosePlatform({});
    EXPECT_EQ(none.platform, "");
    EXPECT_NE(none.missing.find("DISPLAY 和 WAYLAND_DISPLAY 都没有设置"), std::string::npos);

    zavreo::DisplayOffer silent;
    silent.xDisplay = ":7";
    silent.waylandDisplay = "wayland-7";
    const std::string unreachable = zavreo::ChoosePlatform(silent).missing;
    EXPECT_NE(unreachable.find("无法连接显示"), std::string::npos);
    EXPECT_NE(unreachable.find("DISPLAY=:7"), std::string::npos);
    EXPECT_NE(unreachable.find("WAYLAND_DISPLAY=wayland-7"), std::string::npos);

    zavreo::DisplayOffer noPlugin;
    noPlugin.waylandDisplay = "wayland-0";
    noPlugin.waylandAnswers = true;
    const zavreo::PlatformDecision plugin = zavreo::ChoosePlatform(noPlugin);
    EXPECT_EQ(plugin.platform, "");
    EXPECT_NE(plugin.missing.find("qt6-wayland"), std::string::npos);
    for (const std::string& message : {none.missing, unreachable, plugin.missing}) {
        EXPECT_EQ(message.back(), '\n');
        EXPECT_EQ(message.find('\n'), message.size() - 1);
    }
}
