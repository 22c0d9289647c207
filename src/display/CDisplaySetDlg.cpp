#include "CDisplaySetDlg.h"

#include <QPainter>

#include "CSampleGrabberCB.h"
#include "CameraController.h"

namespace {

// Static 1062: the area both panels cover, below the tabs.
constexpr QRect kPanelArea(0, 38, 390, 470);

}  // namespace

CDisplaySetDlg::CDisplaySetDlg(zavreo::CameraController& camera, zavreo::CSampleGrabberCB& grabber,
                               QTimer& slideshowTimer, std::filesystem::path pictureListFile,
                               QWidget* parent)
    : QWidget(parent),
      background_(QStringLiteral("images/right/display/background_24.bmp")),
      cameraTab_(this),
      picturesTab_(this),
      cameraPanel_(camera, grabber, this),
      picturePanel_(camera, grabber.Output(), slideshowTimer, std::move(pictureListFile), this) {
    cameraTab_.SetImages("images/right/display/normal_07.png", "images/right/display/over_07.png",
                         "images/right/display/press_07.png", 4);
    picturesTab_.SetImages("images/right/display/normal_25.png", "images/right/display/over_25.png",
                           "images/right/display/press_25.png", 4);
    cameraTab_.move(10, 4);
    picturesTab_.move(134, 4);
    cameraPanel_.setGeometry(kPanelArea);
    picturePanel_.setGeometry(kPanelArea);
    connect(&cameraTab_, &CPngButton::clicked, this, [this] { SelectTab(IDC_TAB_CAMERA); });
    connect(&picturesTab_, &CPngButton::clicked, this, [this] { SelectTab(IDC_TAB_PICTURES); });
    connect(&cameraPanel_, &CDisplayCamDlg::Tip, this, &CDisplaySetDlg::Tip);
    connect(&picturePanel_, &CDisplayPic::Tip, this, &CDisplaySetDlg::Tip);
    connect(&camera, &zavreo::CameraController::PictureSourceStopRequested, &picturePanel_,
            &CDisplayPic::StopSlideshow);
    SelectTab(IDC_TAB_CAMERA);
}

void CDisplaySetDlg::SelectTab(int id) {
    const bool pictures = id == IDC_TAB_PICTURES;
    cameraTab_.SetSelected(!pictures);
    picturesTab_.SetSelected(pictures);
    cameraPanel_.setVisible(!pictures);
    picturePanel_.setVisible(pictures);
}

void CDisplaySetDlg::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawPixmap(rect(), background_);
}
