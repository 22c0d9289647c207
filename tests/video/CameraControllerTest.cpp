// The main window's camera operations on the stand-in camera, with a Qt event loop for the
// results the open thread hands back.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <cstring>
#include <deque>
#include <filesystem>
#include <mutex>

#include "CSampleGrabberCB.h"
#include "CameraController.h"
#include "CameraDiscovery.h"
#include "PipeWireSession.h"
#include "TestFrames.h"
#include "TipTexts.h"

using namespace zavreo;
namespace fs = std::filesystem;

namespace {

fs::path RuntimeFolder() {
    return fs::temp_directory_path() / ("zavreo-rt-" + std::to_string(getpid()));
}

// Removes the test's runtime folder once everything that used it is gone.
struct RuntimeFolderCleanup {
    ~RuntimeFolderCleanup() {
        std::error_code error;
        fs::remove_all(RuntimeFolder(), error);
    }
};

struct Window {
    RuntimeFolderCleanup cleanup;
    ScopedEnv runtime;
    ScopedFrameName name;
    SharedFrame frame{name.Name()};
    EM::EffectManager engine;
    CSampleGrabberCB callback{frame, engine};
    CameraController controller{callback, std::string(ZAVREO_BIN_DIR) + "/zavreo-vcam"};
    QStringList messages;
    QStringList vcamMessages;
    std::vector<bool> buttons;
    std::vector<bool> finished;
    SharedFrameReader reader{name.Name()};

    // The program runs in its own folder, where test.png is; the virtual camera gets a runtime
    // folder of the test's own.
    Window() : runtime("XDG_RUNTIME_DIR", RuntimeDir().c_str()) {
        EXPECT_EQ(chdir(ZAVREO_BIN_DIR), 0);
        // No loopback device here: the virtual camera's own message is kept apart.
        QObject::connect(&controller, &CameraController::Message, [this](const QString& text) {
            (text == QString::fromUtf8(TipText::kVirtualCameraMissing) ? vcamMessages : messages)
                << text;
        });
        QObject::connect(&controller, &CameraController::CameraButtonsChanged,
                         [this](bool running) { buttons.push_back(running); });
        QObject::connect(&controller, &CameraController::CameraOpenFinished,
                         [this](bool running) { finished.push_back(running); });
    }
    static std::string RuntimeDir() {
        const fs::path dir = RuntimeFolder();
        fs::create_directories(dir);
        return dir.string();
    }

    std::vector<uint8_t> Published() {
        std::vector<uint8_t> copy(kFrameBytes);
        EXPECT_TRUE(reader.CopyFrame(copy.data()));
        return copy;
    }
    std::vector<uint8_t> Placeholder() {
        ScopedFrameName other;
        SharedFrame block(other.Name());
        EXPECT_TRUE(block.WritePlaceholderFrame());
        SharedFrameReader read(other.Name());
        std::vector<uint8_t> copy(kFrameBytes);
        EXPECT_TRUE(read.CopyFrame(copy.data()));
        return copy;
    }
    bool WaitOpen() {
        return WaitFor([&] {
            QCoreApplication::processEvents();
            return !finished.empty();
        });
    }
};

QString Text(const char* text) {
    return QString::fromUtf8(text);
}

}  // namespace

TEST(CameraController, WithoutCamerasOpeningSaysSo) {
    ScopedEnv noStandIn("ZAVREO_TEST_CAMERA", nullptr);
    Window w;
    int listed = 0;
    QObject::connect(&w.controller, &CameraController::CamerasListed, [&] { ++listed; });
    w.controller.InitCameras();
    ASSERT_EQ(listed, 1);
    if (w.controller.CameraCount() > 0) {
        GTEST_SKIP() << "this machine has a camera";
    }
    EXPECT_EQ(w.Published(), w.Placeholder());
    w.controller.OpenCamera();
    EXPECT_EQ(w.messages, QStringList{Text(TipText::kNoCamera)});
    EXPECT_FALSE(w.controller.Busy());
    EXPECT_NE(w.controller.PreviewGraph().State(), GraphRunning);
}

TEST(CameraController, InitListsTheStandInAndItsBestSize) {
    ScopedEnv standIn("ZAVREO_TEST_CAMERA", "1");
    Window w;
    QStringList cameras, sizes;
    int selected = -2, best = -2;
    QObject::connect(
        &w.controller, &CameraController::CamerasListed,
        [&](const QStringList& names, int index) { cameras = names, selected = index; });
    QObject::connect(&w.controller, &CameraController::SizesListed,
                     [&](const QStringList& names, int index) { sizes = names, best = index; });
    w.controller.InitCameras();
    EXPECT_TRUE(cameras.contains(Text(kTestCameraName)));
    EXPECT_EQ(selected, 0);
    EXPECT_EQ(sizes, (QStringList{"320 x 240", "640 x 480", "1280 x 720"}));
    EXPECT_EQ(best, 1);
    EXPECT_TRUE(w.messages.isEmpty());
    EXPECT_EQ(w.controller.CameraGraph().State(), GraphReady);
    EXPECT_EQ(w.controller.PreviewGraph().State(), GraphReady);
}

TEST(CameraController, OpenRunsTheCameraOnceAndCloseRestoresThePlaceholder) {
    ScopedEnv standIn("ZAVREO_TEST_CAMERA", "1");
    Window w;
    w.controller.InitCameras();
    w.controller.SelectCamera(w.controller.CameraCount() - 1);
    ASSERT_EQ(w.controller.ChosenCamera(), kTestCameraName);
    w.controller.OpenCamera();
    EXPECT_TRUE(w.controller.Busy());
    w.controller.OpenCamera();  // still opening: ignored
    ASSERT_TRUE(w.WaitOpen());
    EXPECT_EQ(w.finished.size(), 1u);
    EXPECT_TRUE(w.finished[0]);
    EXPECT_FALSE(w.controller.Busy());
    ASSERT_EQ(w.buttons.size(), 1u);
    EXPECT_TRUE(w.buttons[0]);
    EXPECT_EQ(w.controller.CameraGraph().State(), GraphRunning);
    EXPECT_EQ(w.controller.PreviewGraph().State(), GraphRunning);

    const auto placeholder = w.Placeholder();
    ASSERT_TRUE(WaitFor([&] { return w.Published() != placeholder; }));
    // The preview shows what clients receive: the shared frame.
    PreviewPicture picture;
    ASSERT_TRUE(w.controller.Preview().Copy(&picture));
    EXPECT_TRUE(picture.bottomUp);

    w.controller.CloseCamera();
    EXPECT_EQ(w.controller.CameraGraph().State(), GraphReady);
    EXPECT_EQ(w.controller.PreviewGraph().State(), GraphReady);
    EXPECT_FALSE(w.buttons.back());
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    EXPECT_EQ(w.Published(), placeholder);
    ASSERT_TRUE(w.controller.Preview().Copy(&picture));
    EXPECT_EQ(picture.pixels, placeholder);
    EXPECT_TRUE(w.messages.isEmpty());
}

TEST(CameraController, ACameraThatVanishesIsClosedAndTheUserTold) {
    ScopedEnv standIn("ZAVREO_TEST_CAMERA", "1");
    ScopedEnv vanishes("ZAVREO_TEST_CAMERA_FRAMES", "10");
    Window w;
    w.controller.InitCameras();
    w.controller.SelectCamera(w.controller.CameraCount() - 1);
    w.controller.OpenCamera();
    ASSERT_TRUE(w.WaitOpen());
    ASSERT_TRUE(WaitFor([&] {
        QCoreApplication::processEvents();
        return !w.messages.isEmpty();
    }));
    EXPECT_EQ(w.messages, QStringList{Text(TipText::kCameraDisconnected)});
    EXPECT_EQ(w.controller.CameraGraph().State(), GraphReady);
    EXPECT_EQ(w.controller.PreviewGraph().State(), GraphReady);
    EXPECT_FALSE(w.buttons.back());
    EXPECT_EQ(w.Published(), w.Placeholder());
}

// Where no loopback device exists (as here) the virtual camera program ends at once.
TEST(CameraController, AVirtualCameraWithoutDeviceIsReportedOnceAndReaped) {
    if (!FindV4l2NodeByCard(kVirtualCameraName).empty()) {
        GTEST_SKIP() << "a loopback device exists";
    }
    ScopedEnv standIn("ZAVREO_TEST_CAMERA", "1");
    Window w;
    w.controller.InitCameras();
    w.controller.SelectCamera(w.controller.CameraCount() - 1);
    for (int attempt = 0; attempt < 2; ++attempt) {
        w.controller.OpenCamera();
        ASSERT_TRUE(w.WaitOpen());
        ASSERT_TRUE(WaitFor([&] {
            QCoreApplication::processEvents();
            return w.controller.Vcam().ChildPid() == -1;
        }));
        // Reaped: no zombie of the helper is left.
        EXPECT_LE(waitpid(-1, nullptr, WNOHANG), 0);
        w.controller.CloseCamera();
        w.finished.clear();
    }
    EXPECT_EQ(w.vcamMessages, QStringList{QString::fromUtf8(TipText::kVirtualCameraMissing)});
    EXPECT_TRUE(w.messages.isEmpty());
}

namespace {

// The shared frame's recent pictures, taken every few milliseconds on a thread of its own, so
// that a frame a reader got can be told to be one of them.
class FrameHistory {
public:
    explicit FrameHistory(const std::string& name) : reader_(name), thread_([this] { Run(); }) {}
    ~FrameHistory() {
        stop_ = true;
        thread_.join();
    }
    // True when the top-down BGRx `frame` is exactly one of the recent pictures.
    bool Holds(const std::vector<uint8_t>& frame) {
        std::lock_guard lock(mutex_);
        for (const auto& picture : pictures_) {
            if (SameAsBgrx(picture, frame)) {
                return true;
            }
        }
        return false;
    }

private:
    static bool SameAsBgrx(const std::vector<uint8_t>& bottomUp, const std::vector<uint8_t>& bgrx) {
        if (bgrx.size() != size_t(kFrameWidth) * kFrameHeight * 4) {
            return false;
        }
        for (int y = 0; y < kFrameHeight; ++y) {
            const uint8_t* row = bottomUp.data() + size_t(kFrameHeight - 1 - y) * kFrameStride;
            const uint8_t* seen = bgrx.data() + size_t(y) * kFrameWidth * 4;
            for (int x = 0; x < kFrameWidth; ++x) {
                if (std::memcmp(row + x * 3, seen + x * 4, 3) != 0) {
                    return false;
                }
            }
        }
        return true;
    }
    void Run() {
        std::vector<uint8_t> picture(kFrameBytes);
        while (!stop_) {
            if (reader_.CopyFrame(picture.data())) {
                std::lock_guard lock(mutex_);
                if (pictures_.empty() || pictures_.back() != picture) {
                    pictures_.push_back(picture);
                    if (pictures_.size() > 400) {
                        pictures_.pop_front();
                    }
                }
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(3));
        }
    }

    SharedFrameReader reader_;
    std::mutex mutex_;
    std::deque<std::vector<uint8_t>> pictures_;  // guarded by mutex_
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

}  // namespace

// Where PipeWire runs, the virtual camera is a PipeWire camera from the start to the end of the
// run, showing the shared frame (the camera's pictures while it is open), and the missing-camera
// tip never shows.
TEST(CameraController, WithPipeWireTheVirtualCameraIsANodeFromStartToExit) {
    if (!FindV4l2NodeByCard(kVirtualCameraName).empty()) {
        GTEST_SKIP() << "a loopback device exists";
    }
    ScopedEnv standIn("ZAVREO_TEST_CAMERA", "1");
    Window w;
    PipeWireSession session;  // after the window: the virtual camera runs in this session
    ScopedEnv frameName("ZAVREO_SHARED_FRAME", w.name.Name().c_str());
    ASSERT_TRUE(session.Running());
    w.controller.InitCameras();
    ASSERT_TRUE(WaitFor([] { return PipeWireSession::HasNode(kPipeWireNodeName); }))
        << "no node before the camera opens";
    w.controller.SelectCamera(w.controller.CameraCount() - 1);
    for (int round = 0; round < 2; ++round) {
        w.controller.OpenCamera();
        ASSERT_TRUE(w.WaitOpen());
        ASSERT_TRUE(PipeWireSession::HasNode(kPipeWireNodeName))
            << "no node while the camera is open, round " << round;
        {
            // The reader runs as a program of its own: PipeWire's GStreamer elements stay out of
            // this Qt process.
            FrameHistory history(w.name.Name());
            const fs::path read = RuntimeFolder() / "node.bgrx";
            const std::string command =
                "timeout 20 gst-launch-1.0 -q pipewiresrc target-object=" +
                std::string(kPipeWireNodeName) +
                " num-buffers=30 ! video/x-raw,format=BGRx,width=640,height=480 ! filesink "
                "location=" +
                read.string() + " >/dev/null 2>&1";
            ASSERT_EQ(std::system(command.c_str()), 0);
            std::FILE* file = std::fopen(read.c_str(), "rb");
            ASSERT_NE(file, nullptr);
            std::vector<uint8_t> frame(size_t(kFrameWidth) * kFrameHeight * 4);
            int frames = 0, shared = 0;
            while (std::fread(frame.data(), 1, frame.size(), file) == frame.size()) {
                ++frames;
                shared += history.Holds(frame);
            }
            std::fclose(file);
            EXPECT_EQ(frames, 30);
            // A frame read while the camera wrote its next one is torn, and no picture of ours.
            EXPECT_GE(shared, frames * 9 / 10) << shared << " of " << frames;
        }
        w.controller.CloseCamera();
        std::this_thread::sleep_for(std::chrono::seconds(1));
        EXPECT_TRUE(PipeWireSession::HasNode(kPipeWireNodeName)) << "the node left with the camera";
        w.finished.clear();
    }
    QCoreApplication::processEvents();
    EXPECT_TRUE(w.vcamMessages.isEmpty());
    EXPECT_TRUE(w.messages.isEmpty());
    const pid_t vcam = w.controller.Vcam().ChildPid();
    EXPECT_GT(vcam, 0);
    w.controller.Shutdown();
    EXPECT_NE(kill(vcam, 0), 0);
    EXPECT_TRUE(WaitFor([] { return !PipeWireSession::HasNode(kPipeWireNodeName); }))
        << "the node outlived the program";
}

TEST(CameraController, StopAllSourcesStopsTheCameraAndAllowsAnotherOpen) {
    ScopedEnv standIn("ZAVREO_TEST_CAMERA", "1");
    Window w;
    w.controller.InitCameras();
    w.controller.SelectCamera(w.controller.CameraCount() - 1);
    w.controller.OpenCamera();
    ASSERT_TRUE(w.WaitOpen());
    w.controller.StopAllSources();
    EXPECT_EQ(w.controller.CameraGraph().State(), GraphReady);
    EXPECT_EQ(w.Published(), w.Placeholder());
    w.controller.OpenCamera();
    ASSERT_TRUE(WaitFor([&] {
        QCoreApplication::processEvents();
        return w.finished.size() == 2;
    }));
    EXPECT_TRUE(w.finished.back());
    w.controller.Shutdown();
    EXPECT_EQ(w.controller.CameraGraph().State(), GraphReady);
}

TEST(CameraController, ClosingWhileOpeningLeavesNothingRunning) {
    ScopedEnv standIn("ZAVREO_TEST_CAMERA", "1");
    Window w;
    w.controller.InitCameras();
    w.controller.SelectCamera(w.controller.CameraCount() - 1);
    w.controller.OpenCamera();
    w.controller.StopAllSources();
    ASSERT_TRUE(w.WaitOpen());
    EXPECT_FALSE(w.finished[0]);
    EXPECT_EQ(w.controller.CameraGraph().State(), GraphReady);
    const auto placeholder = w.Placeholder();
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(w.Published(), placeholder);
}
