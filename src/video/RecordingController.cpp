#include "RecordingController.h"

#include <malloc.h>

#include <vector>

#include "RecordArguments.h"
#include "TimeStem.h"
#include "UserFolders.h"

namespace zavreo {

namespace {
constexpr auto kDestructorWait = std::chrono::seconds(5);
}

RecordingController::RecordingController(std::function<std::string()> audioDeviceName,
                                         QObject* parent)
    : QObject(parent), audioDeviceName_(std::move(audioDeviceName)) {}

RecordingController::~RecordingController() {
    if (!Shutdown(kDestructorWait) && thread_.joinable()) {
        // The library never returned; the thread must not be joined forever at exit.
        thread_.detach();
    }
}

std::string RecordingController::OutputPath() const {
    std::lock_guard lock(mutex_);
    return outputPath_;
}

void RecordingController::ToggleRecording() {
    if (m_bRecordBusy.exchange(true)) {
        return;
    }
    if (m_bRecording) {
        entries_.CloseCodecN(m_nCodec);
        emit StopClicked();
        return;
    }
    // The last recording's thread has ended: it made the state idle as its last step.
    if (thread_.joinable()) {
        thread_.join();
    }
    m_nCodec = 0;
    {
        std::lock_guard lock(mutex_);
        threadRunning_ = true;
    }
    thread_ = std::thread(&RecordingController::RecordThread, this);
}

// Record thread.
void RecordingController::RecordThread() {
    const std::filesystem::path folder = VideoFolder();
    const std::string path = (folder / (MakeTimeStem() + ".mp4")).string();
    {
        std::lock_guard lock(mutex_);
        outputPath_ = path;
    }
    std::vector<std::string> args = RecordArguments(RecordInputText(audioDeviceName_()), path);
    std::vector<char*> argv;
    for (auto& arg : args) {
        argv.push_back(arg.data());
    }
    m_nCodec = entries_.CreateCodecN();
    // Shutdown closes the handle once it is stored; a shutdown that came first is seen here.
    if (!exiting_) {
        entries_.ExecN(m_nCodec, static_cast<int>(argv.size()), argv.data(),
                       &RecordingController::OnRecordingStarted);
    }
    // The recorder's buffers, freed by now, would stay in the allocator's arenas instead of going
    // back to the system: tens of megabytes after every recording.
    malloc_trim(0);
    m_bRecording = false;
    m_bRecordBusy = false;
    emit ButtonStateChanged(false);
    {
        std::lock_guard lock(mutex_);
        threadRunning_ = false;
    }
    threadEnded_.notify_all();
}

int RecordingController::OnRecordingStarted(int32_t, void* context) {
    auto* self = static_cast<RecordingController*>(context);
    if (self != nullptr) {
        self->m_bRecording = true;
        self->m_bRecordBusy = false;
        emit self->ButtonStateChanged(true);
    }
    return 0;
}

bool RecordingController::Shutdown(std::chrono::milliseconds limit) {
    if (!thread_.joinable()) {
        return true;
    }
    exiting_ = true;
    if (const int32_t codec = m_nCodec.load(); codec != 0) {
        entries_.CloseCodecN(codec);
    }
    std::unique_lock lock(mutex_);
    if (!threadEnded_.wait_for(lock, limit, [this] { return !threadRunning_; })) {
        return false;
    }
    lock.unlock();
    thread_.join();
    return true;
}

}  // namespace zavreo
