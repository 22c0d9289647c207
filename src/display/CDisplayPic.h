#pragma once
// The picture panel: the slideshow's pictures (add, remove, remove all) in a thumbnail grid, and
// the slideshow itself, which replaces the camera as the source of the shared frame. The picture
// list is saved after every change. Interface thread only, the slideshow timer included.

#include <QPixmap>
#include <QTimer>
#include <QWidget>
#include <filesystem>

#include "CPngButton.h"
#include "CThumbnailBox.h"
#include "Slideshow.h"

namespace zavreo {
class CameraController;
class SharedFrame;
}  // namespace zavreo

class CDisplayPic : public QWidget {
    Q_OBJECT
public:
    enum Id { IDC_ADD = 1047, IDC_REMOVE = 1050, IDC_REMOVE_ALL = 1051, IDC_SHOW = 1052 };
    // Files the add dialog offers; cameras write upper-case and ".jpeg" names too.
    static constexpr const char* kFilter =
        "Image Files (*.jpg *.bmp *.png *.jpeg *.JPG *.BMP *.PNG *.JPEG)";

    // `timer` is the main window's slideshow timer; its timeout must call ShowNextPicture.
    CDisplayPic(zavreo::CameraController& camera, zavreo::SharedFrame& output, QTimer& timer,
                std::filesystem::path listFile, QWidget* parent = nullptr);

    CThumbnailBox& Box() { return box_; }
    CPngButton& Button(int id);
    bool Showing() const { return showing_; }

    // Button 1047 after its file dialog: adds `paths` and saves the list.
    void AddPictures(const QStringList& paths);
    void RemoveSelected();
    void RemoveAll();
    void ToggleSlideshow();
    // Timer 10021.
    void ShowNextPicture();
    // Before the camera opens.
    void StopSlideshow();

    void LoadList();
    void SaveList();

signals:
    void Tip(const QString& text);
    // The slideshow started: the video view should be in front.
    void VideoViewRequested();
    void SlideshowChanged(bool showing);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void StartSlideshow();
    void OnAddClicked();

    zavreo::CameraController& camera_;
    zavreo::SharedFrame& output_;
    QTimer& timer_;
    std::filesystem::path listFile_;
    zavreo::Slideshow slideshow_;
    bool showing_ = false;
    QPixmap background_;
    CPngButton add_, remove_, removeAll_, show_;
    CThumbnailBox box_;
};
