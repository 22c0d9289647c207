// The record button's controller driving the real recorder library, and the choice of the
// microphone from a private PulseAudio daemon's sources.

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <regex>
#include <thread>

#include "CameraDiscovery.h"
#include "CodecLibrary.h"
#include "Mp4Probe.h"
#include "PulseServer.h"
#include "RecordingClock.h"
#include "RecordingController.h"
#include "SharedFrame.h"
#include "SmallDisk.h"
#include "TipTexts.h"
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
        StopNoise();
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

    // Runs the event loop until the record thread has ended (the button back to idle).
    bool WaitUntilIdle(std::chrono::milliseconds limit) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (controller_.Busy() || controller_.Recording()) {
            if (std::chrono::steady_clock::now() > deadline) {
                return false;
            }
            QTest::qWait(20);
        }
        QTest::qWait(50);  // the queued signals
        return true;
    }
    // Fresh random pixels ten times a second: the encoder cannot shrink them.
    void StartNoise() {
        noise_ = std::thread([this] {
            std::mt19937 random(7);
            std::vector<uint8_t> picture(kFrameBytes);
            while (!stopNoise_) {
                for (auto& byte : picture) {
                    byte = static_cast<uint8_t>(random());
                }
                frame_->Write(picture.data());
                std::this_thread::sleep_for(100ms);
            }
        });
    }
    void StopNoise() {
        stopNoise_ = true;
        if (noise_.joinable()) {
            noise_.join();
        }
    }
    static fs::perms Permissions(const fs::path& path) {
        return fs::symlink_status(path).permissions();
    }

    std::string home_;
    std::string frameName_;
    std::unique_ptr<SharedFrame> frame_;
    CodecLibrary library_;
    RecordingController controller_{[] { return std::string(); }};
    std::thread noise_;
    std::atomic<bool> stopNoise_{false};
};

constexpr fs::perms kOwnerOnly = fs::perms::owner_read | fs::perms::owner_write;
constexpr fs::perms kOwnerFolder = fs::perms::owner_all;

TEST_F(RecordingControllerTest, StartsAndStopsOneRecordingIgnoringClicksWhileStopping) {
    // An earlier version made the video folder readable by everyone.
    const fs::path videos = fs::path(home_) / "Documents" / "ZavreoZhuShou" / "Video";
    fs::create_directories(videos);
    fs::permissions(videos.parent_path(), fs::perms::owner_all | fs::perms::group_read |
                                              fs::perms::group_exec | fs::perms::others_read |
                                              fs::perms::others_exec);
    QSignalSpy state(&controller_, &RecordingController::ButtonStateChanged);
    QSignalSpy stops(&controller_, &RecordingController::StopClicked);
    QSignalSpy tips(&controller_, &RecordingController::Tip);
    controller_.ToggleRecording();
    EXPECT_TRUE(controller_.Busy());
    EXPECT_FALSE(controller_.Recording());
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
    EXPECT_TRUE(tips.isEmpty());
    // The user's alone: the file, its folder and the program's folder above it.
    EXPECT_EQ(Permissions(files[0]), kOwnerOnly);
    EXPECT_EQ(Permissions(VideoFolder()), kOwnerFolder);
    EXPECT_EQ(Permissions(VideoFolder().parent_path()), kOwnerFolder);
}

// A click while the recording starts stops it as soon as it has begun: one click to start and one
// to stop make a short recording, with the dialog toggled at the stop click.
TEST_F(RecordingControllerTest, AStopClickWhileStartingIsHonoured) {
    QSignalSpy state(&controller_, &RecordingController::ButtonStateChanged);
    QSignalSpy stops(&controller_, &RecordingController::StopClicked);
    controller_.ToggleRecording();
    QTest::qWait(50);
    ASSERT_TRUE(controller_.Busy());
    ASSERT_FALSE(controller_.Recording());
    controller_.ToggleRecording();
    EXPECT_EQ(stops.count(), 1);
    controller_.ToggleRecording();  // the stop is under way: ignored
    EXPECT_EQ(stops.count(), 1);
    ASSERT_TRUE(WaitUntilIdle(5s)) << "the stop click during the start was ignored";
    ASSERT_GE(state.count(), 1);
    EXPECT_FALSE(state.last().at(0).toBool());
    const auto files = Recordings();
    ASSERT_EQ(files.size(), 1u);
    const Mp4Probe probe = ProbeMp4(files[0]);
    EXPECT_EQ(probe.decodeErrors, 0);
    EXPECT_GE(probe.videoFrames, 1);
    EXPECT_LT(probe.videoSeconds, 2.0);
}

// A full disk ends the recording and the tip says so, naming the file that keeps what was
// recorded. A click on the disk still full leaves no file behind and says why.
TEST_F(RecordingControllerTest, AFullDiskIsToldAndLeavesNoEmptyFile) {
    const fs::path videos = fs::path(home_) / "Documents" / "ZavreoZhuShou" / "Video";
    SmallDisk disk(videos, 256 * 1024);
    if (!disk.Mounted()) {
        GTEST_SKIP() << "mounting a tmpfs needs root";
    }
    StartNoise();
    QSignalSpy tips(&controller_, &RecordingController::Tip);
    controller_.ToggleRecording();
    ASSERT_TRUE(WaitUntilIdle(20s)) << "the full disk did not end the recording";
    const auto files = Recordings();
    ASSERT_EQ(files.size(), 1u);
    EXPECT_GT(ProbeMp4(files[0]).videoFrames, 0);
    ASSERT_EQ(tips.count(), 1);
    EXPECT_EQ(tips.at(0).at(0).toString(), QString::fromUtf8(TipText::kRecordingDiskFull) + '\n' +
                                               QString::fromStdString(files[0].string()));

    {
        std::ofstream filler((videos / "filler").string(), std::ios::binary);
        const std::vector<char> block(4096);
        while (filler.write(block.data(), block.size())) {
        }
    }
    controller_.ToggleRecording();
    ASSERT_TRUE(WaitUntilIdle(20s));
    auto after = Recordings();
    std::erase(after, videos / "filler");
    EXPECT_EQ(after, files) << "a recording on the full disk left a file";
    ASSERT_EQ(tips.count(), 2);
    const QString second = tips.at(1).at(0).toString();
    EXPECT_TRUE(second.startsWith(QString::fromUtf8(TipText::kRecordingNoRoom)) ||
                second.startsWith(QString::fromUtf8(TipText::kRecordingDiskFull)))
        << second.toStdString();
}

// The video folder replaced by a file: nothing can be recorded, and the tip says why.
TEST_F(RecordingControllerTest, AVideoFolderReplacedByAFileIsToldWhy) {
    const fs::path videos = fs::path(home_) / "Documents" / "ZavreoZhuShou" / "Video";
    fs::create_directories(videos.parent_path());
    std::ofstream(videos) << "not a folder";
    QSignalSpy tips(&controller_, &RecordingController::Tip);
    QSignalSpy stops(&controller_, &RecordingController::StopClicked);
    controller_.ToggleRecording();
    ASSERT_TRUE(WaitUntilIdle(5s));
    ASSERT_EQ(tips.count(), 1);
    EXPECT_EQ(tips.at(0).at(0).toString(), QString::fromUtf8(TipText::kRecordingFolderIsFile) +
                                               '\n' + QString::fromStdString(videos.string()));
    EXPECT_EQ(stops.count(), 0);
    EXPECT_TRUE(fs::is_regular_file(videos));
}

// The elapsed time on the record button: from the start click while the recording runs, gone
// once its file is complete.
TEST_F(RecordingControllerTest, TheButtonShowsTheElapsedTimeWhileRecording) {
    QPushButton button;
    button.resize(110, 55);
    RecordingClock clock(&button, controller_);
    EXPECT_FALSE(clock.isVisibleTo(&button));
    controller_.ToggleRecording();
    EXPECT_TRUE(clock.isVisibleTo(&button));
    EXPECT_EQ(clock.text(), QStringLiteral("00:00"));
    EXPECT_EQ(clock.geometry().bottom(), button.height() - 2);
    QTest::qWait(2300);
    EXPECT_EQ(clock.text(), QStringLiteral("00:02"));
    // In the clock's red, not the button's text colour.
    const QImage drawn = clock.grab().toImage();
    int red = 0;
    for (int y = 0; y < drawn.height(); ++y) {
        for (int x = 0; x < drawn.width(); ++x) {
            const QColor colour = drawn.pixelColor(x, y);
            red += colour.red() > 200 && colour.green() < 150 && colour.blue() < 150;
        }
    }
    EXPECT_GT(red, 10);
    controller_.ToggleRecording();
    ASSERT_TRUE(WaitUntilIdle(10s));
    EXPECT_FALSE(clock.isVisibleTo(&button));
    EXPECT_EQ(controller_.Elapsed(), 0ms);
}

TEST(RecordingClock, MinutesAndSecondsThenHours) {
    EXPECT_EQ(ElapsedText(0ms), QStringLiteral("00:00"));
    EXPECT_EQ(ElapsedText(59999ms), QStringLiteral("00:59"));
    EXPECT_EQ(ElapsedText(61000ms), QStringLiteral("01:01"));
    EXPECT_EQ(ElapsedText(3599999ms), QStringLiteral("59:59"));
    EXPECT_EQ(ElapsedText(3725000ms), QStringLiteral("1:02:05"));
    EXPECT_EQ(ElapsedText(-5ms), QStringLiteral("00:00"));
}

TEST(RecordingProblem, EachFailureIsToldWithTheFileOrFolder) {
    const fs::path file = "/home/a/Documents/ZavreoZhuShou/Video/1.mp4";
    const fs::path folder = file.parent_path();
    const auto text = [&](int error, bool kept) {
        return RecordingProblemText(error, kept, file, folder).toStdString();
    };
    EXPECT_EQ(text(ENOSPC, true), std::string(TipText::kRecordingDiskFull) + '\n' + file.string());
    EXPECT_EQ(text(EDQUOT, true), std::string(TipText::kRecordingDiskFull) + '\n' + file.string());
    EXPECT_EQ(text(EFBIG, true),
              std::string(TipText::kRecordingFileTooLarge) + '\n' + file.string());
    EXPECT_EQ(text(EIO, true), std::string(TipText::kRecordingWriteFailed) + '\n' + file.string());
    EXPECT_EQ(text(ENOSPC, false), std::string(TipText::kRecordingNoRoom) + '\n' + folder.string());
    EXPECT_EQ(text(EROFS, false),
              std::string(TipText::kRecordingFolderNotWritable) + '\n' + folder.string());
    EXPECT_EQ(text(-1, false), std::string(TipText::kRecordingNotStarted));
    EXPECT_EQ(
        text(EIO, false)
            .rfind(std::string(TipText::kRecordingNotWritten) + '\n' + folder.string() + "\n(", 0),
        0u);
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
