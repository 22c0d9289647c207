#include "RecordingController.h"

#include <malloc.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "RecordArguments.h"
#include "TimeStem.h"
#include "TipTexts.h"
#include "UserFolders.h"

namespace zavreo {

namespace {
constexpr auto kDestructorWait = std::chrono::seconds(5);

QString Lines(const char* text, const std::filesystem::path& path) {
    return QString::fromUtf8(text) + QLatin1Char('\n') + QString::fromStdString(path.string());
}
}  // namespace

QString RecordingProblemText(int error, bool fileKept, const std::filesystem::path& file,
                             const std::filesystem::path& folder) {
    if (fileKept) {
        const char* text = error == ENOSPC || error == EDQUOT ? TipText::kRecordingDiskFull
                           : error == EFBIG                   ? TipText::kRecordingFileTooLarge
                                                              : TipText::kRecordingWriteFailed;
        return Lines(text, file);
    }
    switch (error) {
        case -1:
            return QString::fromUtf8(TipText::kRecordingNotStarted);
        case ENOSPC:
        case EDQUOT:
            return Lines(TipText::kRecordingNoRoom, folder);
        case ENOTDIR:
            return Lines(TipText::kRecordingFolderIsFile, folder);
        case EACCES:
        case EPERM:
        case EROFS:
            return Lines(TipText::kRecordingFolderNotWritable, folder);
        default:
            return Lines(TipText::kRecordingNotWritten, folder) + QStringLiteral("\n(") +
                   QString::fromLocal8Bit(std::strerror(error)) + QLatin1Char(')');
    }
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

std::chrono::milliseconds RecordingController::Elapsed() const {
    std::lock_guard lock(mutex_);
    if (!threadRunning_) {
        return std::chrono::milliseconds(0);
    }
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 clicked_);
}

void RecordingController::ToggleRecording() {
    bool start = false;
    int32_t close = 0;
    {
        std::lock_guard lock(stateMutex_);
        if (m_bRecordBusy) {
            // Starting: the stop is made once the library reports the start. Stopping: ignored.
            if (m_bRecording || stopAsked_) {
                return;
            }
            stopAsked_ = true;
        } else if (m_bRecording) {
            m_bRecordBusy = true;
            close = m_nCodec;
        } else {
            m_bRecordBusy = true;
            stopAsked_ = false;
            m_nCodec = 0;
            start = true;
        }
    }
    if (!start) {
        if (close != 0) {
            entries_.CloseCodecN(close);
        }
        emit StopClicked();
        return;
    }
    // The last recording's thread has ended: it made the state idle as its last step.
    if (thread_.joinable()) {
        thread_.join();
    }
    {
        std::lock_guard lock(mutex_);
        threadRunning_ = true;
        outputPath_.clear();
        clicked_ = std::chrono::steady_clock::now();
    }
    emit ActiveChanged(true);
    thread_ = std::thread(&RecordingController::RecordThread, this);
}

// Record thread.
void RecordingController::RecordThread() {
    const std::filesystem::path folder = VideoFolder();
    int result = 0;
    const std::filesystem::path file = CreateTimeStemFile(folder, ".mp4", &result);
    if (!file.empty()) {
        {
            std::lock_guard lock(mutex_);
            outputPath_ = file.string();
        }
        std::vector<std::string> args =
            RecordArguments(RecordInputText(audioDeviceName_()), file.string());
        std::vector<char*> argv;
        for (auto& arg : args) {
            argv.push_back(arg.data());
        }
        const int32_t codec = entries_.CreateCodecN();
        {
            std::lock_guard lock(stateMutex_);
            m_nCodec = codec;
        }
        // Shutdown closes the handle once it is stored; a shutdown that came first is seen here.
        result = -1;
        if (!exiting_) {
            result = entries_.ExecN(codec, static_cast<int>(argv.size()), argv.data(),
                                    &RecordingController::OnRecordingStarted);
        }
    }
    // The recorder's buffers, freed by now, would stay in the allocator's arenas instead of going
    // back to the system: tens of megabytes after every recording.
    malloc_trim(0);
    Finished(result, file, folder);
    {
        std::lock_guard lock(stateMutex_);
        m_bRecording = false;
        m_bRecordBusy = false;
        stopAsked_ = false;
        m_nCodec = 0;
    }
    emit ButtonStateChanged(false);
    {
        std::lock_guard lock(mutex_);
        threadRunning_ = false;
    }
    emit ActiveChanged(false);
    threadEnded_.notify_all();
}

// Record thread: the name taken for a recording that wrote nothing is given back, and what went
// wrong is told (not at exit, which closes recordings before they begin).
void RecordingController::Finished(int result, const std::filesystem::path& file,
                                   const std::filesystem::path& folder) {
    std::error_code error;
    if (!file.empty() && std::filesystem::is_regular_file(file, error) &&
        std::filesystem::file_size(file, error) == 0) {
        std::filesystem::remove(file, error);
    }
    if (result == 0 || (result == -1 && exiting_)) {
        return;
    }
    const bool kept = !file.empty() && std::filesystem::exists(file, error);
    emit Tip(RecordingProblemText(result, kept, file, folder));
}

int RecordingController::OnRecordingStarted(int32_t, void* context) {
    auto* self = static_cast<RecordingController*>(context);
    if (self == nullptr) {
        return 0;
    }
    int32_t close = 0;
    {
        std::lock_guard lock(self->stateMutex_);
        self->m_bRecording = true;
        if (self->stopAsked_) {
            close = self->m_nCodec;
        } else {
            self->m_bRecordBusy = false;
        }
    }
    if (close != 0) {
        self->entries_.CloseCodecN(close);
    }
    emit self->ButtonStateChanged(true);
    return 0;
}

bool RecordingController::Shutdown(std::chrono::milliseconds limit) {
    if (!thread_.joinable()) {
        return true;
    }
    exiting_ = true;
    int32_t codec = 0;
    {
        std::lock_guard lock(stateMutex_);
        codec = m_nCodec;
    }
    if (codec != 0) {
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
