// Photos and the camera panel's choices on the stand-in camera, through the real controller.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QImage>
#include <QTemporaryDir>
#include <filesystem>

#include "ControllerRig.h"
#include "Photo.h"

using namespace zavreo;
namespace fs = std::filesystem;

namespace {

struct Camera : ControllerRig {
    ScopedEnv standIn{"ZAVREO_TEST_CAMERA", "1"};
    std::vector<bool> finished;
    QTemporaryDir photos;

    Camera() {
        QObject::connect(&controller, &CameraController::CameraOpenFinished,
                         [this](bool running) { finished.push_back(running); });
        controller.InitCameras();
        controller.SelectCamera(controller.CameraCount() - 1);
    }
    bool Open(size_t results = 1) {
        return WaitFor([&] {
            QCoreApplication::processEvents();
            return finished.size() >= results;
        });
    }
    fs::path Folder() const { return fs::path(photos.path().toStdString()) / "Pic"; }
    std::vector<fs::path> Files() const {
        std::vector<fs::path> files;
        std::error_code error;
        for (const auto& entry : fs::directory_iterator(Folder(), error)) {
            files.push_back(entry.path());
        }
        return files;
    }
};

// Mean absolute difference per channel between a top-down photo and a bottom-up frame.
double MeanDifference(const QImage& photo, const std::vector<uint8_t>& frame) {
    double total = 0;
    for (int y = 0; y < kFrameHeight; ++y) {
        const uint8_t* row =
            frame.data() + static_cast<size_t>(kFrameHeight - 1 - y) * kFrameStride;
        for (int x = 0; x < kFrameWidth; ++x) {
            const QColor c = photo.pixelColor(x, y);
            total += std::abs(c.blue() - row[x * 3]) + std::abs(c.green() - row[x * 3 + 1]) +
                     std::abs(c.red() - row[x * 3 + 2]);
        }
    }
    return total / (3.0 * kFrameWidth * kFrameHeight);
}

}  // namespace

TEST(Photo, WithTheCameraClosedNothingIsWritten) {
    Camera camera;
    fs::path saved;
    EXPECT_EQ(TakePhoto(camera.controller.CameraGraph(), camera.callback, camera.Folder(), &saved),
              PhotoOutcome::kCameraClosed);
    EXPECT_FALSE(fs::exists(camera.Folder()));
}

TEST(Photo, SavesTheSharedFrameOfThatMomentUpright) {
    Camera camera;
    camera.controller.OpenCamera();
    ASSERT_TRUE(camera.Open());
    ASSERT_TRUE(camera.finished[0]);
    ASSERT_TRUE(WaitFor([&] { return camera.controller.CameraGraph().FramesDelivered() > 3; }));
    // The stand-in moves: keep the photo taken while the shared frame stood still.
    for (int attempt = 0; attempt < 50; ++attempt) {
        const std::vector<uint8_t> before = camera.Published();
        fs::path saved;
        ASSERT_EQ(
            TakePhoto(camera.controller.CameraGraph(), camera.callback, camera.Folder(), &saved),
            PhotoOutcome::kSaved);
        const std::vector<uint8_t> after = camera.Published();
        ASSERT_EQ(camera.Files(), std::vector<fs::path>{saved});
        EXPECT_EQ(fs::status(saved).permissions(), fs::perms::owner_read | fs::perms::owner_write);
        const QImage photo(QString::fromStdString(saved.string()), "JPG");
        fs::remove(saved);
        if (before != after) {
            continue;
        }
        ASSERT_EQ(photo.size(), QSize(640, 480));
        EXPECT_LT(MeanDifference(photo, before), 4.0);
        return;
    }
    FAIL() << "the shared frame never stood still for a photo";
}

TEST(Photo, NoFrameSinceTheCameraOpenedMeansNoPhoto) {
    ScopedFrameName name;
    SharedFrame frame(name.Name());
    EM::EffectManager engine;
    CSampleGrabberCB callback(frame, engine);
    QTemporaryDir dir;
    const fs::path path = fs::path(dir.path().toStdString()) / "a.jpg";
    EXPECT_EQ(SavePhoto(callback, path), PhotoOutcome::kNoFrame);
    std::vector<uint8_t> camera = PatternFrame(kFrameWidth, kFrameHeight);
    callback.BufferCB(0, camera.data(), static_cast<long>(camera.size()));
    EXPECT_EQ(SavePhoto(callback, path), PhotoOutcome::kSaved);
    callback.ForgetLastFrame();
    fs::remove(path);
    EXPECT_EQ(SavePhoto(callback, path), PhotoOutcome::kNoFrame);
    EXPECT_FALSE(fs::exists(path));
}

TEST(Photo, AReopenedCameraWhoseFramesAreRefusedGivesNoPhotoOfThePreviousOpen) {
    Camera camera;
    camera.controller.OpenCamera();
    ASSERT_TRUE(camera.Open());
    ASSERT_TRUE(WaitFor([&] { return camera.controller.CameraGraph().FramesDelivered() > 3; }));
    camera.controller.CloseCamera();
    // The frame callback now expects another size, so it refuses every frame of the next open.
    camera.callback.SetCameraSize(320, 240);
    camera.controller.OpenCamera();
    ASSERT_TRUE(camera.Open(2));
    ASSERT_TRUE(camera.finished[1]);
    ASSERT_TRUE(WaitFor([&] { return camera.controller.CameraGraph().FramesDelivered() > 3; }));
    EXPECT_EQ(TakePhoto(camera.controller.CameraGraph(), camera.callback, camera.Folder(), nullptr),
              PhotoOutcome::kNoFrame);
    EXPECT_TRUE(camera.Files().empty());
    camera.controller.CloseCamera();
}

TEST(CameraChoice, ANewSizeReopensTheRunningCameraOffTheInterfaceThread) {
    Camera camera;
    QStringList sizes;
    QObject::connect(&camera.controller, &CameraController::SizesListed,
                     [&](const QStringList& listed, int) { sizes = listed; });
    camera.controller.OpenCamera();
    ASSERT_TRUE(camera.Open());
    ASSERT_TRUE(camera.finished[0]);
    camera.controller.ChooseSize("320 x 240");
    // The rebuild runs on the open thread; the interface goes on.
    EXPECT_TRUE(camera.controller.Busy());
    ASSERT_TRUE(camera.Open(2));
    EXPECT_TRUE(camera.finished[1]);
    EXPECT_EQ(camera.controller.CameraGraph().State(), GraphRunning);
    EXPECT_EQ(camera.controller.RequestedWidth(), 320);
    EXPECT_EQ(camera.controller.RequestedHeight(), 240);
    // Frames of the new size reach the shared frame (scaled), so the size took effect.
    ASSERT_TRUE(WaitFor([&] { return camera.controller.CameraGraph().FramesDelivered() > 3; }));
    EXPECT_EQ(camera.controller.CameraGraph().DeliveredWidth(), 320);
    std::vector<uint8_t> photo;
    int width = 0, height = 0;
    EXPECT_TRUE(camera.callback.CopyLastFrame(&photo, &width, &height));

    // A size chosen while the camera is still reopening is applied once that open has ended.
    camera.controller.ChooseSize("640 x 480");
    ASSERT_TRUE(camera.controller.Busy());
    camera.controller.ChooseSize("1280 x 720");
    ASSERT_TRUE(camera.Open(4));
    EXPECT_TRUE(camera.finished[3]);
    EXPECT_EQ(camera.controller.RequestedWidth(), 1280);
    ASSERT_TRUE(WaitFor([&] { return camera.controller.CameraGraph().DeliveredWidth() == 1280; }));

    // Choosing the camera already chosen changes nothing.
    camera.controller.ChooseCamera(camera.controller.CameraCount() - 1);
    EXPECT_TRUE(sizes.isEmpty());
    EXPECT_FALSE(camera.controller.Busy());
    camera.controller.CloseCamera();
}
