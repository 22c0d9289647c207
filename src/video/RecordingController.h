#pragma once
// The record button's logic: starts a recording on a thread of its own that blocks inside the
// recorder library, stops it, and reports the button's state. Four states: idle, starting (busy),
// recording, stopping (recording and busy); clicks while busy are ignored.
//
// Threads: ToggleRecording and Shutdown run on the interface thread; RecordThread on the record
// thread; OnRecordingStarted on whichever library thread reports the start. The two flags and the
// codec handle are atomics; the signals reach the interface thread queued.

#include <QObject>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "FlashX.h"

namespace zavreo {

// The entry points a recording needs.
struct RecorderEntries {
    CODECLIB_CreateCodecNFn CreateCodecN = nullptr;
    CODECLIB_ExecNFn ExecN = nullptr;
    CODECLIB_CloseCodecNFn CloseCodecN = nullptr;
};

class RecordingController : public QObject {
    Q_OBJECT
public:
    // `audioDeviceName` gives the microphone's name (empty: none); it runs on the record thread.
    explicit RecordingController(std::function<std::string()> audioDeviceName,
                                 QObject* parent = nullptr);
    // Waits a moment for a recording still running (see Shutdown).
    ~RecordingController() override;

    void SetEntries(const RecorderEntries& entries) { entries_ = entries; }

    // The record button: starts a recording when idle, stops it while recording.
    void ToggleRecording();
    // The exit path: closes the codec whenever a record thread exists (a start still under way
    // included) and waits at most `limit` for the thread. True when no thread is left, so the
    // library may be unloaded.
    bool Shutdown(std::chrono::milliseconds limit);

    bool Recording() const { return m_bRecording.load(); }
    bool Busy() const { return m_bRecordBusy.load(); }
    // The file of the current or last recording.
    std::string OutputPath() const;

    // The library's start callback; `context` is this controller (given to CODECLIB_Startup).
    static int OnRecordingStarted(int32_t value, void* context);

signals:
    // The button shows the recording images (true) or the idle ones (false).
    void ButtonStateChanged(bool recording);
    // A stop click: the recording dialog is toggled.
    void StopClicked();

private:
    void RecordThread();

    std::function<std::string()> audioDeviceName_;
    RecorderEntries entries_;
    std::atomic<bool> m_bRecording{false};
    std::atomic<bool> m_bRecordBusy{false};
    std::atomic<int32_t> m_nCodec{0};
    std::atomic<bool> exiting_{false};
    std::thread thread_;  // started and joined on the interface thread

    mutable std::mutex mutex_;
    std::condition_variable threadEnded_;
    bool threadRunning_ = false;  // guarded by mutex_
    std::string outputPath_;      // guarded by mutex_
};

}  // namespace zavreo
