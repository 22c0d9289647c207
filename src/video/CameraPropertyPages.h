#pragma once
// The camera's settings dialog: a slider or check box for every control the running camera
// offers, applied as they move. A camera without controls gets a note saying so.

#include <QDialog>
#include <memory>

namespace zavreo {
class CCameraGraph;
class V4l2Controls;
}  // namespace zavreo

class CameraPropertyPages : public QDialog {
    Q_OBJECT
public:
    static constexpr const char* kNoControlsText = "此摄像头没有可调节的属性";

    CameraPropertyPages(const std::string& devicePath, QWidget* parent = nullptr);
    ~CameraPropertyPages() override;

    int ControlCount() const { return count_; }

    // Shows the dialog for the camera `graph` runs, or the note, modally.
    static void ShowPropertyPages(const zavreo::CCameraGraph& graph, QWidget* parent);

private:
    std::unique_ptr<zavreo::V4l2Controls> controls_;
    int count_ = 0;
};
