#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QImage>

#include "PreviewFrames.h"
#include "SharedFrameView.h"
#include "TestFrames.h"

using namespace zavreo;

TEST(PreviewFrames, DeviceFramesArePackedAndNeverShownAfterwards) {
    ScopedFrameName name;
    SharedFrame frame(name.Name());
    const auto pattern = PatternFrame(640, 480);
    frame.Write(pattern.data());
    PreviewFrames preview(name.Name());

    // 2 x 2 pixels in 8-byte rows.
    const uint8_t device[16] = {1, 2, 3, 4, 5, 6, 0, 0, 7, 8, 9, 10, 11, 12, 0, 0};
    preview.Deliver(device, 2, 2, 8);
    PreviewPicture picture;
    ASSERT_TRUE(preview.Copy(&picture));
    EXPECT_FALSE(picture.bottomUp);
    EXPECT_EQ(picture.width, 2);
    EXPECT_EQ(picture.pixels, (std::vector<uint8_t>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}));

    preview.ShowSharedFrame();
    ASSERT_TRUE(preview.Copy(&picture));
    EXPECT_TRUE(picture.bottomUp);
    EXPECT_EQ(picture.pixels, pattern);
}

TEST(PreviewFrames, NoBlockMeansNothingToShow) {
    ScopedFrameName name;
    PreviewFrames preview(name.Name());
    PreviewPicture picture;
    EXPECT_FALSE(preview.Copy(&picture));
}

TEST(SharedFrameView, ShowsItsSourceUprightAndDropsAVanishedPicture) {
    ScopedFrameName name;
    PreviewFrames preview(name.Name());
    SharedFrameView view;
    view.SetSource(&preview);
    EXPECT_TRUE(view.CurrentImage().isNull());  // no block yet: nothing stale either

    {
        SharedFrame frame(name.Name());
        const auto pattern = PatternFrame(640, 480);
        frame.Write(pattern.data());
        view.Refresh();
        const QImage& image = view.CurrentImage();
        ASSERT_EQ(image.size(), QSize(640, 480));
        // Top-left as seen: blue 0, green 0; bottom-left: green 255.
        EXPECT_EQ(qBlue(image.pixel(0, 0)), 0);
        EXPECT_EQ(qGreen(image.pixel(0, 479)), 255);
    }
    const uint8_t device[6] = {255, 0, 0, 255, 0, 0};  // two blue pixels
    preview.Deliver(device, 2, 1, 6);
    view.Refresh();
    ASSERT_EQ(view.CurrentImage().size(), QSize(2, 1));
    EXPECT_EQ(qBlue(view.CurrentImage().pixel(1, 0)), 255);
}

TEST(SharedFrameView, KeepsThePicturesAspectInASquareArea) {
    ScopedFrameName name;
    SharedFrame frame(name.Name());
    std::vector<uint8_t> white(kFrameBytes, 255);
    frame.Write(white.data());
    PreviewFrames preview(name.Name());
    SharedFrameView view;
    view.SetSource(&preview);
    view.resize(480, 480);
    const QImage shot = view.grab().toImage();
    // 640 x 480 in 480 x 480: 480 x 360 in the middle, black bands of 60 rows.
    EXPECT_EQ(shot.pixelColor(240, 30), QColor(Qt::black));
    EXPECT_EQ(shot.pixelColor(240, 449), QColor(Qt::black));
    EXPECT_EQ(shot.pixelColor(240, 61), QColor(Qt::white));
    EXPECT_EQ(shot.pixelColor(0, 240), QColor(Qt::white));
}

// While the virtual camera serves a large 16:9 frame, the shared frame's 4:3 copy of it is shown
// at 16:9 again.
TEST(SharedFrameView, ShowsTheLargeFramesProportionsWhileThereIsOne) {
    ScopedFrameName name;
    SharedFrame frame(name.Name());
    ASSERT_TRUE(frame.Large().Open(1280, 720, 30));
    std::vector<uint8_t> white(kFrameBytes, 255);
    frame.Write(white.data());
    PreviewFrames preview(name.Name());
    SharedFrameView view;
    view.SetSource(&preview);
    view.resize(480, 480);
    QImage shot = view.grab().toImage();
    // 480 x 270 in the middle, black bands of 105 rows.
    EXPECT_EQ(shot.pixelColor(240, 100), QColor(Qt::black));
    EXPECT_EQ(shot.pixelColor(240, 106), QColor(Qt::white));
    EXPECT_EQ(shot.pixelColor(240, 373), QColor(Qt::white));
    EXPECT_EQ(shot.pixelColor(240, 379), QColor(Qt::black));

    frame.Large().Close();
    view.Refresh();
    shot = view.grab().toImage();
    EXPECT_EQ(shot.pixelColor(240, 61), QColor(Qt::white));
}

TEST(SharedFrameView, ReadsOnlyWhileShown) {
    ScopedFrameName name;
    PreviewFrames preview(name.Name());
    SharedFrameView view;
    view.SetSource(&preview);
    const uint8_t blue[3] = {255, 0, 0};
    preview.Deliver(blue, 1, 1, 3);
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 300) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    EXPECT_TRUE(view.CurrentImage().isNull());

    view.show();
    ASSERT_FALSE(view.CurrentImage().isNull());
    const uint8_t red[3] = {0, 0, 255};
    preview.Deliver(red, 1, 1, 3);
    clock.restart();
    while (qRed(view.CurrentImage().pixel(0, 0)) != 255 && clock.elapsed() < 5000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    EXPECT_EQ(qRed(view.CurrentImage().pixel(0, 0)), 255);
}
