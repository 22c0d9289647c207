#pragma once
// The camera panel: which camera, which capture size, the three mirror modes and the camera's
// own settings. The lists are filled by the camera controller's discovery. Interface thread only.

#include <QLabel>
#include <QPixmap>
#include <QWidget>

#include "CBitComboBox.h"
#include "CPngButton.h"
#include "MirrorModes.h"

namespace zavreo {
class CameraController;
class CSampleGrabberCB;
}  // namespace zavreo

class CDisplayCamDlg : public QWidget {
    Q_OBJECT
public:
    enum Id {
        IDC_CAMERA = 1036,
        IDC_SIZE = 1037,
        IDC_MIRROR = 1045,
        IDC_SETTINGS = 1046,
        IDC_FLIP_HORIZONTAL = 1048,
        IDC_FLIP_VERTICAL = 1049,
    };

    CDisplayCamDlg(zavreo::CameraController& camera, zavreo::CSampleGrabberCB& grabber,
                   QWidget* parent = nullptr);

    CBitComboBox& Cameras() { return cameras_; }
    CBitComboBox& Sizes() { return sizes_; }
    CPngButton& Button(int id);
    const zavreo::MirrorModes& Mirror() const { return mirror_; }

    void ClickMirror(zavreo::MirrorModes::Mode mode);
    // Button 1046: the camera's settings while it runs.
    void ShowSettings();

signals:
    void Tip(const QString& text);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void FillCameras(const QStringList& names, int selected);
    void FillSizes(const QStringList& sizes, int best);

    zavreo::CameraController& camera_;
    zavreo::CSampleGrabberCB& grabber_;
    zavreo::MirrorModes mirror_;
    QPixmap background_;
    QPixmap title_;
    QLabel cameraLabel_, sizeLabel_;
    CBitComboBox cameras_, sizes_;
    CPngButton mirrorButtons_[3];
    CPngButton settings_;
};
