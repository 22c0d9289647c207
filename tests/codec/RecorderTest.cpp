// Real recordings through libFlashX.so: the recorder tool runs the library in a process of its
// own (so it can be killed or given a small file size limit), fed by a private shared frame and
// a private PulseAudio daemon's null sink.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iterator>
#include <random>
#include <thread>

#include "CameraDiscovery.h"
#include "CodecLibrary.h"
#include "Mp4Probe.h"
#include "PulseServer.h"
#include "RecordArguments.h"
#include "RecordProcess.h"
#include "SharedFrame.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

class RecorderTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(pulse_.Running()) << "pulseaudio could not be started";
        char pattern[] = "/tmp/zavreo-rec-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        folder_ = pattern;
        frameName_ = "/zavreo-rec-" + std::to_string(getpid());
        setenv("ZAVREO_SHARED_FRAME", frameName_.c_str(), 1);
        frame_ = std::make_unique<zavreo::SharedFrame>(frameName_);
        // Red above, blue below; the block stores the bottom row first.
        std::vector<uint8_t> picture(zavreo::kFrameBytes);
        for (int row = 0; row < zavreo::kFrameHeight; ++row) {
            const bool bottomHalf = row < zavreo::kFrameHeight / 2;
            for (int x = 0; x < zavreo::kFrameWidth; ++x) {
                uint8_t* pixel = &picture[row * zavreo::kFrameStride + x * 3];
                pixel[0] = bottomHalf ? 255 : 0;
                pixel[2] = bottomHalf ? 0 : 255;
            }
        }
        frame_->Write(picture.data());
    }
    void TearDown() override {
        stopNoise_ = true;
        if (noise_.joinable()) {
            noise_.join();
        }
        frame_.reset();
        shm_unlink(frameName_.c_str());
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
    // Fresh random pixels ten times a second: the encoder cannot shrink them.
    void StartNoise() {
        noise_ = std::thread([this] {
            std::mt19937 random(7);
            std::vector<uint8_t> picture(zavreo::kFrameBytes);
            while (!stopNoise_) {
                for (auto& byte : picture) {
                    byte = static_cast<uint8_t>(random());
                }
                frame_->Write(picture.data());
                std::this_thread::sleep_for(100ms);
            }
        });
    }
    std::string Output(const std::string& name) const { return folder_ + "/" + name; }

    PulseServer pulse_;
    std::string folder_;
    std::string frameName_;
    std::unique_ptr<zavreo::SharedFrame> frame_;
    std::thread noise_;
    std::atomic<bool> stopNoise_{false};
};

void ExpectPixel(const Mp4Probe& probe, int x, int y, int b, int g, int r) {
    ASSERT_EQ(probe.firstPicture.size(), zavreo::kFrameBytes);
    const uint8_t* pixel = &probe.firstPicture[(y * zavreo::kFrameWidth + x) * 3];
    EXPECT_NEAR(pixel[0], b, 24) << "at " << x << "," << y;
    EXPECT_NEAR(pixel[1], g, 24) << "at " << x << "," << y;
    EXPECT_NEAR(pixel[2], r, 24) << "at " << x << "," << y;
}

TEST_F(RecorderTest, RecordsThePictureAndMicrophoneIntoAnOrdinaryMp4) {
    const std::string file = Output("clean.mp4");
    RecordProcess recorder(file, PulseServer::kMonitorDescription, 3.0);
    const auto spawned = Clock::now();
    ASSERT_EQ(recorder.Line(), "started");
    const auto started = Clock::now();
    EXPECT_EQ(recorder.Line(), "ended 0");
    const double elapsed = std::chrono::duration<double>(Clock::now() - spawned).count();
    EXPECT_EQ(recorder.Wait(), 0);

    const Mp4Probe probe = ProbeMp4(file);
    ASSERT_TRUE(probe.opened);
    EXPECT_EQ(probe.decodeErrors, 0);
    EXPECT_FALSE(probe.fragmented) << "a clean stop leaves an ordinary MP4";
    EXPECT_EQ(probe.videoCodec, "h264");
    EXPECT_EQ(probe.profile, FF_PROFILE_H264_MAIN);
    EXPECT_EQ(probe.width, 640);
    EXPECT_EQ(probe.height, 480);
    EXPECT_EQ(av_cmp_q(probe.frameRate, AVRational{10, 1}), 0);
    // Ten pictures a second, evenly: the count follows the time stamps.
    EXPECT_NEAR(probe.videoFrames, probe.videoSeconds * 10, 1.01);
    // Between the time since the start was reported and the whole run.
    EXPECT_GT(probe.videoSeconds,
              3.0 - std::chrono::duration<double>(started - spawned).count() - 0.3);
    EXPECT_LT(probe.videoSeconds, elapsed * 1.1);
    ASSERT_TRUE(probe.hasAudio);
    EXPECT_EQ(probe.audioCodec, "aac");
    EXPECT_EQ(probe.sampleRate, 44100);
    EXPECT_EQ(probe.channels, 2);
    // Both end together.
    EXPECT_NEAR(probe.audioEnd, probe.videoEnd, 0.1);
    // Upright and in the right colours.
    ExpectPixel(probe, 320, 100, 0, 0, 255);
    ExpectPixel(probe, 320, 380, 255, 0, 0);
}

// The program hands its block down: the recorder records it, not what the name points at once
// another process took the name (green).
TEST_F(RecorderTest, RecordsTheBlockHandedDownWhateverItsNameComesToPointAt) {
    const int block = frame_->ReaderDescriptor();
    ASSERT_EQ(fcntl(block, F_SETFD, 0), 0);  // the recorder here runs in a process of its own
    setenv(zavreo::kSharedFrameFdVariable, std::to_string(block).c_str(), 1);
    ASSERT_EQ(shm_unlink(frameName_.c_str()), 0);
    zavreo::SharedFrame taker(frameName_);
    std::vector<uint8_t> green(zavreo::kFrameBytes);
    for (size_t i = 1; i < green.size(); i += 3) {
        green[i] = 255;
    }
    taker.Write(green.data());
    const std::string file = Output("handed.mp4");
    RecordProcess recorder(file, "", 1.5);
    unsetenv(zavreo::kSharedFrameFdVariable);
    fcntl(block, F_SETFD, FD_CLOEXEC);
    ASSERT_EQ(recorder.Line(), "started");
    EXPECT_EQ(recorder.Line(), "ended 0");
    EXPECT_EQ(recorder.Wait(), 0);
    const Mp4Probe probe = ProbeMp4(file);
    ASSERT_TRUE(probe.opened);
    ExpectPixel(probe, 320, 100, 0, 0, 255);
    ExpectPixel(probe, 320, 380, 255, 0, 0);
}

TEST_F(RecorderTest, AKilledRecorderLeavesAPlayableFileAtMostASecondShort) {
    const std::string file = Output("killed.mp4");
    RecordProcess recorder(file, PulseServer::kMonitorDescription, 0);
    ASSERT_EQ(recorder.Line(), "started");
    std::this_thread::sleep_for(2500ms);
    recorder.Kill();

    const Mp4Probe probe = ProbeMp4(file);
    ASSERT_TRUE(probe.opened);
    EXPECT_TRUE(probe.fragmented);
    EXPECT_EQ(probe.decodeErrors, 0);
    EXPECT_EQ(probe.width, 640);
    // 2.5 s were recorded after the start was reported, and the encoder's delay before it.
    EXPECT_GE(probe.videoSeconds, 2.0);
    EXPECT_TRUE(probe.hasAudio);
    // The sound goes into the fragments as it is encoded; the pictures the encoder still held
    // are lost. The sound trails by a capture chunk and an encoder frame at most.
    EXPECT_GE(probe.audioEnd, probe.videoEnd - 0.1);
    EXPECT_LT(probe.audioEnd, probe.videoEnd + 1.0);
}

// The program records with "-vsync 2": the ticks of a stall are left out, not filled with copies
// of the last picture, and no picture is stamped late.
TEST_F(RecorderTest, TicksTheRecorderSleptThroughAreDroppedNotFilled) {
    const std::string file = Output("stalled.mp4");
    // Long enough that the recording goes on for a while after the stall, even when the
    // microphone's first samples take two seconds.
    RecordProcess recorder(file, PulseServer::kMonitorDescription, 6.0);
    ASSERT_EQ(recorder.Line(), "started");
    std::this_thread::sleep_for(800ms);
    recorder.Signal(SIGSTOP);
    std::this_thread::sleep_for(1000ms);
    recorder.Signal(SIGCONT);
    EXPECT_EQ(recorder.Line(), "ended 0");
    EXPECT_EQ(recorder.Wait(), 0);

    const Mp4Probe probe = ProbeMp4(file);
    ASSERT_TRUE(probe.opened);
    EXPECT_EQ(probe.decodeErrors, 0);
    // The second's ten ticks are missing from the pictures, not from the time they span.
    EXPECT_GT(probe.videoSeconds, 3.0);
    EXPECT_LT(probe.videoFrames, probe.videoSeconds * 10 - 6);
}

TEST_F(RecorderTest, AFullDiskEndsTheRecordingWithWhatWasWrittenPlayable) {
    StartNoise();
    const std::string file = Output("full.mp4");
    constexpr rlim_t kLimit = 200 * 1024;
    RecordProcess recorder(file, PulseServer::kMonitorDescription, 20.0, kLimit);
    const auto begin = Clock::now();
    ASSERT_EQ(recorder.Line(), "started");
    EXPECT_EQ(recorder.Line(), "ended 0");
    EXPECT_LT(Clock::now() - begin, 15s) << "the recording did not end at the limit";
    recorder.Wait();

    EXPECT_LE(std::filesystem::file_size(file), kLimit);
    const Mp4Probe probe = ProbeMp4(file);
    ASSERT_TRUE(probe.opened);
    EXPECT_EQ(probe.decodeErrors, 0);
    EXPECT_GT(probe.videoFrames, 0);
}

// The library loaded into this process, as the program loads it.
class InProcessTest : public RecorderTest {
protected:
    static int OnStarted(int32_t, void* context) {
        static_cast<std::atomic<int>*>(context)->fetch_add(1);
        return 0;
    }
    // Records for `seconds` (0: closes before starting); ExecN's result.
    int Record(const std::string& file, const std::string& audio, double seconds,
               std::vector<std::string> args = {}) {
        if (args.empty()) {
            args = zavreo::RecordArguments(zavreo::RecordInputText(audio), file);
        }
        std::vector<char*> argv;
        for (auto& arg : args) {
            argv.push_back(arg.data());
        }
        const int32_t codec = library_.CreateCodecN();
        if (seconds <= 0) {
            library_.CloseCodecN(codec);
        }
        int result = 1;
        std::thread thread([&] {
            result = library_.ExecN(codec, static_cast<int>(argv.size()), argv.data(), &OnStarted);
        });
        std::this_thread::sleep_for(std::chrono::duration<double>(std::max(seconds, 0.0)));
        library_.CloseCodecN(codec);
        thread.join();
        return result;
    }
    void SetUp() override {
        RecorderTest::SetUp();
        ASSERT_TRUE(library_.Load(ZAVREO_BIN_DIR "/libFlashX.so"));
        library_.Startup(&starts_);
    }
    void TearDown() override {
        library_.Unload();
        RecorderTest::TearDown();
    }
    zavreo::CodecLibrary library_;
    std::atomic<int> starts_{0};
};

TEST_F(InProcessTest, RecordsOneAfterAnotherWithAndWithoutAMicrophone) {
    EXPECT_EQ(Record(Output("first.mp4"), "", 1.5), 0);
    EXPECT_EQ(Record(Output("second.mp4"), "没有这个麦克风", 1.5), 0);
    EXPECT_EQ(Record(Output("third.mp4"), PulseServer::kMonitorDescription, 1.5), 0);
    EXPECT_EQ(starts_, 3);
    for (const char* name : {"first.mp4", "second.mp4"}) {
        const Mp4Probe probe = ProbeMp4(Output(name));
        EXPECT_TRUE(probe.hasVideo) << name;
        EXPECT_FALSE(probe.hasAudio) << name;
        EXPECT_EQ(probe.decodeErrors, 0) << name;
        EXPECT_GT(probe.videoFrames, 5) << name;
    }
    EXPECT_TRUE(ProbeMp4(Output("third.mp4")).hasAudio);
}

TEST_F(InProcessTest, RefusesWhatItCannotRecordWithoutMakingAFile) {
    auto args = zavreo::RecordArguments(zavreo::RecordInputText(""), Output("refused.mp4"));
    auto unknown = args;
    unknown.insert(unknown.begin() + 4, {"-threads", "2"});
    EXPECT_EQ(Record(Output("refused.mp4"), "", 0.2, unknown), -1);
    auto avi = args;
    avi[31] = "avi";
    EXPECT_EQ(Record(Output("refused.mp4"), "", 0.2, avi), -1);
    // Closed before it began.
    EXPECT_EQ(Record(Output("refused.mp4"), "", 0), -1);
    EXPECT_FALSE(std::filesystem::exists(Output("refused.mp4")));
    EXPECT_EQ(starts_, 0);
    EXPECT_EQ(library_.CloseCodecN(12345), -1);
}

int OpenDescriptors() {
    return static_cast<int>(std::distance(std::filesystem::directory_iterator("/proc/self/fd"),
                                          std::filesystem::directory_iterator()));
}

// The program looks the microphone up before each recording. The first lookup leaves GStreamer's
// device provider behind (kept for the process, with a socket pair for its bus); nothing may pile
// up after that.
TEST_F(InProcessTest, RecordingsLeaveNoDescriptorsOpen) {
    std::string microphone;
    ASSERT_TRUE(zavreo::FirstAudioSourceName(&microphone));
    ASSERT_EQ(microphone, PulseServer::kMonitorDescription);
    EXPECT_EQ(Record(Output("first.mp4"), microphone, 1.0), 0);
    const int open = OpenDescriptors();
    for (const char* name : {"second.mp4", "third.mp4"}) {
        ASSERT_TRUE(zavreo::FirstAudioSourceName(&microphone));
        EXPECT_EQ(Record(Output(name), microphone, 1.0), 0);
    }
    EXPECT_EQ(OpenDescriptors(), open);
}

TEST(CodecLibrary, AMissingLibraryOrEntryIsNotLoaded) {
    zavreo::CodecLibrary library;
    EXPECT_FALSE(library.Load("/nonexistent/libFlashX.so"));
    // A real library without the entry points.
    EXPECT_FALSE(library.Load("libm.so.6"));
    EXPECT_FALSE(library.Loaded());
    EXPECT_EQ(library.Startup, nullptr);
}

}  // namespace
