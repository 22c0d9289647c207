// The 视频 panel on real pictures, the real controller and a shared frame of the test's own.

#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QMouseEvent>
#include <QTemporaryDir>

#include "../video/ControllerRig.h"
#include "../video/PictureFiles.h"
#include "CDisplaySetDlg.h"
#include "TipTexts.h"

using namespace zavreo;

namespace {

// Runs the event loop until `done`, for at most 10 s.
template <typename Done>
bool SpinUntil(Done done) {
    return WaitFor(
        [&] {
            QApplication::processEvents();
            return done();
        },
        10.0);
}

struct Panel : ControllerRig {
    QTimer timer;
    PictureFolder folder;
    std::filesystem::path listFile = folder.Path("PicPath.lst");
    CDisplaySetDlg* dialog;
    QStringList tips;

    Panel() {
        dialog = new CDisplaySetDlg(controller, callback, timer, listFile);
        QObject::connect(dialog, &CDisplaySetDlg::Tip, [this](const QString& t) { tips << t; });
        dialog->resize(390, 508);
        dialog->show();
    }
    ~Panel() { delete dialog; }
    CDisplayPic& Pictures() { return dialog->PicturePanel(); }
    QColor Centre() {
        const auto shown = Published();
        const uint8_t* p = shown.data() + (240 * kFrameWidth + 320) * 3;
        return QColor(p[2], p[1], p[0]);
    }
    void Settle() {
        EXPECT_TRUE(SpinUntil([this] { return Pictures().Box().List().Pending() == 0; }));
    }
    void Click(QWidget& widget, QPoint at) {
        QMouseEvent press(QEvent::MouseButtonPress, at, widget.mapToGlobal(at), Qt::LeftButton,
                          Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&widget, &press);
    }
};

bool Near(QColor a, QColor b) {
    return std::abs(a.red() - b.red()) < 12 && std::abs(a.green() - b.green()) < 12 &&
           std::abs(a.blue() - b.blue()) < 12;
}

}  // namespace

TEST(DisplayPanel, SlideshowFromTheClickedPictureToThePlaceholderWhenEmptied) {
    Panel panel;
    panel.controller.InitCameras();
    const std::vector<uint8_t> placeholder = panel.Published();
    panel.dialog->Tab(CDisplaySetDlg::IDC_TAB_PICTURES).click();
    EXPECT_TRUE(panel.Pictures().isVisible());
    EXPECT_FALSE(panel.dialog->CameraPanel().isVisible());

    const std::string red = panel.folder.Solid("red.png", Qt::red);
    const std::string blue = panel.folder.Solid("blue.JPEG", Qt::blue);
    panel.Pictures().AddPictures({QString::fromStdString(red), QString::fromStdString(blue),
                                  QString::fromStdString(panel.folder.Bytes("bad.jpg", "x"))});
    panel.Settle();
    EXPECT_EQ(ReadAll(panel.listFile), "{\"list\":[\"" + red + "\",\"" + blue + "\"],\"num\":2}\n");

    // Where the second thumbnail is drawn, a click selects it.
    CThumbnailBox& box = panel.Pictures().Box();
    const ThumbnailGrid grid = box.Grid();
    panel.Click(box, QPoint(grid.CellX(1) + 40, grid.CellY(1, 0) + 40));
    EXPECT_EQ(box.List().Selection(), 2);

    int videoView = 0;
    QObject::connect(&panel.Pictures(), &CDisplayPic::VideoViewRequested, [&] { ++videoView; });
    panel.Pictures().Button(CDisplayPic::IDC_SHOW).click();
    EXPECT_EQ(videoView, 1);
    EXPECT_TRUE(panel.Pictures().Showing());
    EXPECT_TRUE(panel.timer.isActive());
    EXPECT_EQ(panel.timer.interval(), 3000);
    EXPECT_TRUE(Near(panel.Centre(), Qt::blue));
    EXPECT_EQ(panel.controller.PreviewGraph().State(), GraphRunning);
    panel.Pictures().ShowNextPicture();
    EXPECT_TRUE(Near(panel.Centre(), Qt::red));

    // Emptied while showing: the next tick stops the show and restores the placeholder.
    panel.Pictures().Button(CDisplayPic::IDC_REMOVE_ALL).click();
    EXPECT_EQ(ReadAll(panel.listFile), "{\"list\":[],\"num\":0}\n");
    panel.Pictures().ShowNextPicture();
    EXPECT_FALSE(panel.Pictures().Showing());
    EXPECT_FALSE(panel.timer.isActive());
    EXPECT_EQ(panel.Published(), placeholder);
    EXPECT_EQ(panel.controller.PreviewGraph().State(), GraphReady);

    // With nothing listed, start only brings the video view forward.
    panel.Pictures().Button(CDisplayPic::IDC_SHOW).click();
    EXPECT_EQ(videoView, 2);
    EXPECT_FALSE(panel.Pictures().Showing());
}

TEST(DisplayPanel, TheScrollBarShowsOnlyWhenThereIsSomethingToScroll) {
    Panel panel;
    panel.dialog->Tab(CDisplaySetDlg::IDC_TAB_PICTURES).click();
    CThumbnailBox& box = panel.Pictures().Box();
    EXPECT_FALSE(box.ScrollBar().isVisible());
    panel.Pictures().AddPictures({QString::fromStdString(panel.folder.Solid("one.png", Qt::red))});
    EXPECT_FALSE(box.ScrollBar().isVisible());
    QStringList many;
    for (int i = 0; i < 30; ++i) {
        many << QString::fromStdString(
            panel.folder.Solid("p" + std::to_string(i) + ".png", Qt::red));
    }
    panel.Pictures().AddPictures(many);
    EXPECT_TRUE(box.ScrollBar().isVisible());
    EXPECT_GT(box.ScrollBar().maximum(), 0);
    panel.Pictures().Button(CDisplayPic::IDC_REMOVE_ALL).click();
    EXPECT_FALSE(box.ScrollBar().isVisible());
}

TEST(DisplayPanel, OpeningTheCameraStopsTheSlideshow) {
    ScopedEnv standIn("ZAVREO_TEST_CAMERA", "1");
    Panel panel;
    panel.controller.InitCameras();
    panel.Pictures().AddPictures({QString::fromStdString(panel.folder.Solid("g.bmp", Qt::green))});
    panel.Pictures().ToggleSlideshow();
    ASSERT_TRUE(panel.Pictures().Showing());
    panel.controller.OpenCamera();
    EXPECT_FALSE(panel.Pictures().Showing());
    EXPECT_FALSE(panel.timer.isActive());
    ASSERT_TRUE(SpinUntil([&] { return !panel.controller.Busy(); }));
    EXPECT_EQ(panel.controller.CameraGraph().State(), GraphRunning);
    // And starting the slideshow closes the camera.
    panel.Pictures().ToggleSlideshow();
    EXPECT_EQ(panel.controller.CameraGraph().State(), GraphReady);
    EXPECT_TRUE(Near(panel.Centre(), Qt::green));
    panel.Pictures().ToggleSlideshow();
}

TEST(DisplayPanel, StartingTheSlideshowWhileTheCameraOpensCallsTheOpenOff) {
    ScopedEnv standIn("ZAVREO_TEST_CAMERA", "1");
    Panel panel;
    panel.controller.InitCameras();
    panel.Pictures().AddPictures({QString::fromStdString(panel.folder.Solid("g.bmp", Qt::green))});
    panel.controller.OpenCamera();
    ASSERT_TRUE(panel.controller.Busy());
    panel.Pictures().ToggleSlideshow();
    ASSERT_TRUE(panel.Pictures().Showing());
    ASSERT_TRUE(SpinUntil([&] { return !panel.controller.Busy(); }));
    QApplication::processEvents();
    EXPECT_NE(panel.controller.CameraGraph().State(), GraphRunning);
    EXPECT_TRUE(panel.Pictures().Showing());
    EXPECT_EQ(panel.controller.PreviewGraph().State(), GraphRunning);
    // The picture, not the camera's last frame or the placeholder, is what goes out.
    EXPECT_TRUE(Near(panel.Centre(), Qt::green));
    panel.Pictures().ToggleSlideshow();
}

TEST(DisplayPanel, CameraListsSizesAndRefusals) {
    ScopedEnv standIn("ZAVREO_TEST_CAMERA", "1");
    Panel panel;
    panel.controller.InitCameras();
    CDisplayCamDlg& cameras = panel.dialog->CameraPanel();
    EXPECT_TRUE(cameras.isVisible());
    EXPECT_EQ(cameras.Cameras().count(), panel.controller.CameraCount());
    EXPECT_EQ(cameras.Sizes().currentText(), "640 x 480");

    // While closed a new size only becomes the one asked for next.
    cameras.Sizes().setCurrentText("1280 x 720");
    EXPECT_EQ(panel.controller.RequestedWidth(), 1280);
    EXPECT_EQ(panel.controller.RequestedHeight(), 720);
    EXPECT_FALSE(panel.controller.Busy());

    cameras.Button(CDisplayCamDlg::IDC_SETTINGS).click();
    panel.Pictures().Button(CDisplayPic::IDC_REMOVE).click();
    EXPECT_EQ(panel.tips, (QStringList{QString::fromUtf8(TipText::kOpenCameraFirst),
                                       QString::fromUtf8(TipText::kSelectPictureFirst)}));

    cameras.Button(CDisplayCamDlg::IDC_MIRROR).click();
    cameras.Button(CDisplayCamDlg::IDC_FLIP_HORIZONTAL).click();
    EXPECT_FALSE(cameras.Button(CDisplayCamDlg::IDC_MIRROR).IsSelected());
    EXPECT_TRUE(cameras.Button(CDisplayCamDlg::IDC_FLIP_HORIZONTAL).IsSelected());
    ASSERT_EQ(panel.engine.List().size(), 1u);
    EXPECT_EQ(panel.engine.List()[0].params.at("hflip"), "true");
}
