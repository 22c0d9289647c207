// The record button's controller driving the real recorder library, and the choice of the
// microphone from a private PulseAudio daemon's sources.

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <QSignalSpy>
#include <QTest>
#include <chrono>
#include <filesystem>
#include <regex>

#include "CameraDiscovery.h"
#include "CodecLibrary.h"
#include "Mp4Probe.h"
#include "PulseServer.h"
#include "RecordingController.h"
#include "SharedFrame.h"
#include "UserFolders.h"

using namespace zavreo;
namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

class RecordingControllerTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/zavreo-home-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        home_ = pattern;
        setenv("HOME", home_.c_str(), 1);
        setenv("XDG_CONFIG_HOME", (home_ + "/.config").c_str(), 1);
        frameName_ = "/zavreo-ctl-" + std::to_string(getpid());
        setenv("ZAVREO_SHARED_FRAME", frameName_.c_str(), 1);
        frame_ = std::make_unique<SharedFrame>(frameName_);
        ASSERT_TRUE(library_.Load(ZAVREO_BIN_DIR "/libFlashX.so"));
        library_.Startup(&controller_);
        controller_.SetEntries({library_.CreateCodecN, library_.ExecN, library_.CloseCodecN});
    }
    void TearDown() override {
        EXPECT_TRUE(controller_.Shutdown(5s));
        library_.Unload();
        frame_.reset();
        shm_unlink(frameName_.c_str());
        fs::remove_all(home_);
    }
    std::vector<fs::path> Recordings() const {
        std::vector<fs::path> files;
        for (const auto& entry : fs::directory_iterator(VideoFolder())) {
            files.push_back(entry.path());
        }
        return files;
    }

    std::string home_;
    std::string frameName_;
    std::unique_ptr<SharedFrame> frame_;
    CodecLibrary library_;
    RecordingController controller_{[] { return std::string(); }};
};

TEST_F(RecordingControllerTest, StartsAndStopsOneRecordingIgnoringClicksWhileBusy) {
    QSignalSpy state(&controller_, &RecordingController::ButtonStateChanged);
    QSignalSpy stops(&controller_, &RecordingController::StopClicked);
    controller_.ToggleRecording();
    EXPECT_TRUE(controller_.Busy());
    EXPECT_FALSE(controller_.Recording());
    controller_.ToggleRecording();  // starting: ignored
    ASSERT_TRUE(state.wait(10000));
    EXPECT_TRUE(state.at(0).at(0).toBool());
    EXPECT_TRUE(controller_.Recording());
    EXPECT_FALSE(controller_.Busy());

    QTest::qWait(1000);
    controller_.ToggleRecording();
    EXPECT_EQ(stops.count(), 1);
    EXPECT_TRUE(controller_.Busy());
    controller_.ToggleRecording();  // stopping: ignored
    EXPECT_EQ(stops.count(), 1);
    ASSERT_TRUE(state.wait(10000));
    EXPECT_FALSE(state.last().at(0).toBool());
    EXPECT_FALSE(controller_.Recording());
    EXPECT_FALSE(controller_.Busy());

    const auto files = Recordings();
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].string(), controller_.OutputPath());
    EXPECT_TRUE(std::regex_match(files[0].filename().string(),
                                 std::regex(R"(\d{4}(_\d{1,2}){5}_\d+\.mp4)")))
        << files[0];
    const Mp4Probe probe = ProbeMp4(files[0]);
    EXPECT_EQ(probe.decodeErrors, 0);
    EXPECT_GE(probe.videoFrames, 8);
    EXPECT_FALSE(probe.hasAudio);
}

TEST_F(RecordingControllerTest, ExitWhileARecordingStartsEndsItPromptly) {
    controller_.ToggleRecording();
    const auto begin = std::chrono::steady_clock::now();
    EXPECT_TRUE(controller_.Shutdown(5s));
    EXPECT_LT(std::chrono::steady_clock::now() - begin, 4s);
    EXPECT_FALSE(controller_.Busy());
    EXPECT_FALSE(controller_.Recording());
    // A start after the exit began is not made at all, or is closed as soon as it is.
    for (const auto& file : Recordings()) {
        EXPECT_EQ(ProbeMp4(file).decodeErrors, 0);
    }
}

TEST(Microphone, ARealInputIsPreferredToAMonitorOfAnOutput) {
    std::string name;
    {
        PulseServer pulse;
        ASSERT_TRUE(pulse.Running());
        ASSERT_TRUE(FirstAudioSourceName(&name));
        EXPECT_EQ(name, PulseServer::kMonitorDescription);
    }
    PulseServer pulse(true);
    ASSERT_TRUE(pulse.Running());
    ASSERT_TRUE(FirstAudioSourceName(&name));
    EXPECT_EQ(name, PulseServer::kInputDescription);
}

}  // namespace
