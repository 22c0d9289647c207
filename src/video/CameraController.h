#pragma once
// The main window's camera operations: listing cameras and sizes, opening the chosen camera on a
// worker thread, closing it, stopping every source, and the virtual camera program. Owns the
// camera graph and the preview graph. Every user message goes out through Message() with one of
// the texts below; the window connects it to the message tip and the button signal to its buttons.
//
// Threads: every public operation and every signal runs on the interface thread (the thread that
// owns this object). CameraOpenThread builds and runs the camera graph and hands its result back
// through a queued call; pipeline failures arrive the same way.

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "CCameraGraph.h"
#include "PreviewFrames.h"
#include "VcamProcess.h"

namespace zavreo {

class CSampleGrabberCB;

class CameraController : public QObject {
    Q_OBJECT
public:
    // `vcamProgram` is the virtual camera program, started with the cameras and kept until
    // Shutdown.
    explicit CameraController(CSampleGrabberCB& grabber,
                              std::string vcamProgram = DefaultVcamProgram(),
                              QObject* parent = nullptr);
    ~CameraController() override;

    // At window initialisation: both graphs, the placeholder, the virtual camera program, the
    // camera list and the first camera's sizes (CamerasListed, SizesListed, messages on odd
    // formats).
    void InitCameras();
    // Open buttons 1013 and 1024. Ignored while an open is in progress.
    void OpenCamera();
    // Close button 1020.
    void CloseCamera();
    // Stops the camera and the preview and writes the placeholder: before the picture source
    // shows pictures, and when it stops.
    void StopAllSources();
    // The preview (and the virtual camera program) for the picture source.
    void StartPreview();
    // At exit: stops the graphs if the camera runs, and the virtual camera this program started.
    void Shutdown();

    // The camera combo box's selection; the name opened next.
    void SelectCamera(int index);
    // The capture size asked for (640 x 480 at start); the frame callback scales other sizes.
    void SetRequestedSize(int width, int height);

    // The camera panel's choices. Choosing another camera lists its sizes (SizesListed) and
    // applies the size the list shows; a new camera or size reopens a running camera on the open
    // thread, and a reopen that fails acts as a close and tells the user.
    void ChooseCamera(int index);
    // `size` as the size list shows it: "W x H".
    void ChooseSize(const std::string& size);

    int RequestedWidth() const { return width_; }
    int RequestedHeight() const { return height_; }
    int CameraCount() const { return cameraCount_; }
    const std::vector<std::string>& CameraNames() const { return cameraNames_; }
    const std::string& ChosenCamera() const { return chosenCamera_; }
    bool Busy() const { return busy_.load(); }

    CCameraGraph& CameraGraph() { return camera_; }
    CCameraGraph& PreviewGraph() { return preview_; }
    // The preview area shows this (SharedFrameView::SetSource).
    PreviewFrames& Preview() { return previewFrames_; }
    VcamProcess& Vcam() { return vcam_; }

signals:
    void Message(const QString& text);
    // true: hide the open buttons 1013 and 1024, show the close button 1020; false: the reverse.
    void CameraButtonsChanged(bool cameraRunning);
    void CamerasListed(const QStringList& names, int selected);
    void SizesListed(const QStringList& sizes, int best);
    // The picture source must stop before the camera opens (it ignores this when not showing).
    void PictureSourceStopRequested();
    // After every open attempt, when its result is applied.
    void CameraOpenFinished(bool running);

private:
    static void CameraOpenThread(CameraController* self, std::string name, int width, int height,
                                 unsigned generation);
    void FinishOpen(bool running, unsigned generation);
    void StartOpenThread();
    void Reopen();
    void OnCameraFailed();
    void OnPreviewFailed();
    void StartVcam();
    void CheckVcam();
    void Say(const char* text);

    CSampleGrabberCB& grabber_;
    PreviewFrames previewFrames_;  // before the graphs: the preview graph points at it
    CCameraGraph camera_;
    CCameraGraph preview_;
    VcamProcess vcam_;
    QTimer vcamWatch_;              // reaps the virtual camera program and reports why it ended
    bool vcamMissingTold_ = false;  // once a run
    int width_ = 640;
    int height_ = 480;
    int cameraCount_ = 0;
    std::vector<std::string> cameraNames_;
    std::string chosenCamera_;
    std::atomic<bool> busy_{false};
    unsigned generation_ = 0;     // bumped by every close, so a late open result is dropped
    bool reopenPending_ = false;  // a choice arrived while opening: reopen when that ends
    std::thread openThread_;
};

}  // namespace zavreo
