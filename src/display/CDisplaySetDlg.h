#pragma once
// The 视频 panel on the right of the main window: tabs for the camera panel and the picture
// panel over one area; the camera tab is selected at start. A hidden picture panel keeps its
// slideshow running. Interface thread only.

#include <QPixmap>
#include <QWidget>

#include "CDisplayCamDlg.h"
#include "CDisplayPic.h"
#include "CPngButton.h"

class CDisplaySetDlg : public QWidget {
    Q_OBJECT
public:
    enum Id { IDC_TAB_CAMERA = 1022, IDC_TAB_PICTURES = 1031 };

    CDisplaySetDlg(zavreo::CameraController& camera, zavreo::CSampleGrabberCB& grabber,
                   QTimer& slideshowTimer, std::filesystem::path pictureListFile,
                   QWidget* parent = nullptr);

    CDisplayCamDlg& CameraPanel() { return cameraPanel_; }
    CDisplayPic& PicturePanel() { return picturePanel_; }
    CPngButton& Tab(int id) { return id == IDC_TAB_PICTURES ? picturesTab_ : cameraTab_; }
    void SelectTab(int id);

signals:
    void Tip(const QString& text);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPixmap background_;
    CPngButton cameraTab_, picturesTab_;
    CDisplayCamDlg cameraPanel_;
    CDisplayPic picturePanel_;
};
