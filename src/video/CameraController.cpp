#include "CameraController.h"

#include <QMetaObject>
#include <cstdlib>
#include <utility>

#include "CSampleGrabberCB.h"
#include "CameraDiscovery.h"
#include "TipTexts.h"

namespace zavreo {
namespace {

QStringList ToList(const std::vector<std::string>& names) {
    QStringList list;
    for (const auto& name : names) {
        list << QString::fromStdString(name);
    }
    return list;
}

}  // namespace

CameraController::CameraController(CSampleGrabberCB& grabber, std::string vcamProgram,
                                   QObject* parent)
    : QObject(parent),
      grabber_(grabber),
      previewFrames_(grabber.Output()),
      camera_(grabber),
      preview_(grabber),
      vcam_(std::move(vcamProgram)) {
    // Failures are reported on GStreamer's threads; handle them on ours.
    camera_.SetFailureHandler([this] {
        QMetaObject::invokeMethod(
            this, [this] { OnCameraFailed(); }, Qt::QueuedConnection);
    });
    preview_.SetFailureHandler([this] {
        QMetaObject::invokeMethod(
            this, [this] { OnPreviewFailed(); }, Qt::QueuedConnection);
    });
    vcamWatch_.setInterval(500);
    connect(&vcamWatch_, &QTimer::timeout, this, &CameraController::CheckVcam);
}

CameraController::~CameraController() {
    if (openThread_.joinable()) {
        openThread_.join();
    }
    Shutdown();
}

void CameraController::Say(const char* text) {
    emit Message(QString::fromUtf8(text));
}

void CameraController::InitCameras() {
    camera_.CreateObjects();
    preview_.CreateObjects();
    grabber_.Output().WritePlaceholderFrame();
    cameraCount_ = camera_.EnumCameras(&cameraNames_);
    if (cameraCount_ < 1) {
        cameraNames_.clear();
        emit CamerasListed({}, -1);
        return;
    }
    emit CamerasListed(ToList(cameraNames_), 0);
    chosenCamera_ = cameraNames_[0];
    int best = -1;
    std::vector<std::string> sizes;
    if (camera_.ListFormats(chosenCamera_, &sizes, &best) <= 0) {
        Say(TipText::kFirstCameraFormatInvalid);
    }
    if (best == -1) {
        Say(TipText::kFirstCameraMayLackBestFormat);
    }
    emit SizesListed(ToList(sizes), best);
}

void CameraController::SelectCamera(int index) {
    if (index >= 0 && index < static_cast<int>(cameraNames_.size())) {
        chosenCamera_ = cameraNames_[index];
    }
}

void CameraController::SetRequestedSize(int width, int height) {
    width_ = width;
    height_ = height;
    grabber_.SetCameraSize(width, height);
}

void CameraController::ChooseCamera(int index) {
    if (index < 0 || index >= static_cast<int>(cameraNames_.size()) ||
        cameraNames_[index] == chosenCamera_) {
        return;
    }
    SelectCamera(index);
    int best = -1;
    std::vector<std::string> sizes;
    if (camera_.ListFormats(chosenCamera_, &sizes, &best) <= 0) {
        sizes.clear();
        Say(TipText::kCameraFormatInvalid);
    }
    if (best == -1) {
        Say(TipText::kCameraNoBestFormat);
    }
    // Without 640 x 480 the list shows its first size; that is the size asked for.
    const int shown = best >= 0 ? best : (sizes.empty() ? -1 : 0);
    emit SizesListed(ToList(sizes), shown);
    if (shown >= 0) {
        ChooseSize(sizes[shown]);
    } else if (camera_.State() == GraphRunning) {
        Reopen();
    }
}

void CameraController::ChooseSize(const std::string& size) {
    const size_t separator = size.find(" x ");
    if (separator == std::string::npos) {
        return;
    }
    const int width = std::atoi(size.c_str());
    const int height = std::atoi(size.c_str() + separator + 3);
    if (camera_.State() == GraphRunning || busy_.load()) {
        width_ = width;
        height_ = height;
        Reopen();
    } else {
        SetRequestedSize(width, height);
    }
}

void CameraController::Reopen() {
    if (busy_.load()) {
        reopenPending_ = true;
        return;
    }
    // The frame callback's size changes only while no camera delivers.
    camera_.Teardown();
    grabber_.SetCameraSize(width_, height_);
    StartOpenThread();
}

void CameraController::StartOpenThread() {
    busy_.store(true);
    if (openThread_.joinable()) {
        openThread_.join();
    }
    openThread_ = std::thread(&CameraController::CameraOpenThread, this, chosenCamera_, width_,
                              height_, generation_);
}

void CameraController::StartPreview() {
    // The virtual camera first, so its device has a writer when the preview opens it.
    if (vcam_.Start()) {
        vcamWatch_.start();
    }
    if (preview_.State() == GraphReady) {
        preview_.StartGraph(480, 640, true, kVirtualCameraName, &previewFrames_);
    }
}

void CameraController::OpenCamera() {
    if (busy_.load()) {
        return;
    }
    if (cameraCount_ < 1) {
        Say(TipText::kNoCamera);
        return;
    }
    emit PictureSourceStopRequested();
    StartPreview();
    StartOpenThread();
}

void CameraController::CameraOpenThread(CameraController* self, std::string name, int width,
                                        int height, unsigned generation) {
    CCameraGraph& camera = self->camera_;
    self->grabber_.ForgetLastFrame();
    const bool running =
        camera.BuildGraph(name, nullptr, false, width, height) >= 0 && camera.Run() == 0;
    if (!running) {
        camera.Teardown();
    }
    QMetaObject::invokeMethod(
        self, [self, running, generation] { self->FinishOpen(running, generation); },
        Qt::QueuedConnection);
}

void CameraController::FinishOpen(bool running, unsigned generation) {
    busy_.store(false);
    const bool reopen = std::exchange(reopenPending_, false);
    if (generation != generation_) {
        // Closed while opening: what the worker started must not outlive the close, nor its
        // frames the placeholder the close wrote.
        if (running) {
            camera_.Teardown();
            grabber_.Output().WritePlaceholderFrame();
        }
        emit CameraOpenFinished(false);
        return;
    }
    if (running) {
        camera_.SetState(GraphRunning);
        emit CameraButtonsChanged(true);
        if (camera_.Failed()) {
            OnCameraFailed();  // failed before the state said running, so nobody was told
        }
    } else {
        // Also when a new camera or size failed to reopen: the buttons go back to closed.
        Say(TipText::kCameraInUse);
        vcam_.Withdraw();
        preview_.Teardown();
        grabber_.Output().WritePlaceholderFrame();
        emit CameraButtonsChanged(false);
    }
    emit CameraOpenFinished(running);
    if (reopen && running) {
        Reopen();
    }
}

void CameraController::CloseCamera() {
    ++generation_;
    vcam_.Withdraw();
    camera_.Teardown();
    grabber_.Output().WritePlaceholderFrame();
    if (preview_.State() == GraphRunning) {
        preview_.Teardown();
    }
    emit CameraButtonsChanged(false);
}

void CameraController::StopAllSources() {
    ++generation_;
    vcam_.Withdraw();
    if (camera_.State() == GraphRunning) {
        camera_.Teardown();
    }
    if (preview_.State() == GraphRunning) {
        preview_.Teardown();
    }
    grabber_.Output().WritePlaceholderFrame();
    emit CameraButtonsChanged(false);
}

void CameraController::Shutdown() {
    vcamWatch_.stop();
    if (camera_.State() == GraphRunning) {
        ++generation_;
        camera_.Teardown();
        preview_.Teardown();
    }
    vcam_.Stop();
}

void CameraController::OnCameraFailed() {
    if (camera_.State() != GraphRunning) {
        return;
    }
    // A running camera that fails has been unplugged (or its driver gave up): as if closed, and
    // the user hears why.
    CloseCamera();
    Say(TipText::kCameraDisconnected);
}

// Without the loopback device and without PipeWire the program ends at once and only its
// standard error says why; while the preview looks live, the user would never learn that nobody
// receives the picture. A copy serving a PipeWire node keeps running, so it never brings the tip.
void CameraController::CheckVcam() {
    const std::optional<int> status = vcam_.TakeExitStatus();
    if (!status) {
        return;
    }
    vcamWatch_.stop();
    if (*status == kVcamExitNoDevice && !vcamMissingTold_) {
        vcamMissingTold_ = true;
        Say(TipText::kVirtualCameraMissing);
    }
}

void CameraController::OnPreviewFailed() {
    if (preview_.State() == GraphRunning) {
        preview_.Teardown();
    }
}

}  // namespace zavreo
