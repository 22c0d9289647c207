#pragma once
// The record button's logic: starts a recording on a thread of its own that blocks inside the
// recorder library, stops it, and reports the button's state. Four states: idle, starting (busy),
// recording, stopping (recording and busy). A click while starting asks for the stop, which is
// made as soon as the library reports the start (so the file keeps its first pictures); a click
// while stopping is ignored. Recordings go into the video folder under a name of their own that
// no earlier file has; what kept one from being made or cut it short is told through Tip.
//
// Threads: ToggleRecording, Shutdown and the getters run on the interface thread; RecordThread on
// the record thread; OnRecordingStarted on whichever library thread reports the start. The two
// flags, the stop request and the codec handle change under stateMutex_ (the flags are atomics
// so that the getters need no lock); the signals reach the interface thread queued.

#include <QObject>
#include <QString>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
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

// What the tip says when a recording could not be made (`fileKept` false) or ended early on a
// failed write of the errno value `error` (`fileKept` true: `file` holds what was recorded);
// `folder` is the video folder. `error` -1: the recorder could not begin for another reason.
QString RecordingProblemText(int error, bool fileKept, const std::filesystem::path& file,
                             const std::filesystem::path& folder);

class RecordingController : public QObject {
    Q_OBJECT
public:
    // `audioDeviceName` gives the microphone's name (empty: none); it runs on the record thread.
    explicit RecordingController(std::function<std::string()> audioDeviceName,
                                 QObject* parent = nullptr);
    // Waits a moment for a recording still running (see Shutdown).
    ~RecordingController() override;

    void SetEntries(const RecorderEntries& entries) { entries_ = entries; }

    // The record button: starts a recording when idle, stops it while recording or starting.
    void ToggleRecording();
    // The exit path: closes the codec whenever a record thread exists (a start still under way
    // included) and waits at most `limit` for the thread. True when no thread is left, so the
    // library may be unloaded.
    bool Shutdown(std::chrono::milliseconds limit);

    bool Recording() const { return m_bRecording.load(); }
    bool Busy() const { return m_bRecordBusy.load(); }
    // The file of the current or last recording (empty from a start click until it is named).
    std::string OutputPath() const;
    // How long the current recording has run since its start click; zero while idle.
    std::chrono::milliseconds Elapsed() const;

    // The library's start callback; `context` is this controller (given to CODECLIB_Startup).
    static int OnRecordingStarted(int32_t value, void* context);

signals:
    // The button shows the recording images (true) or the idle ones (false).
    void ButtonStateChanged(bool recording);
    // A stop click: the recording dialog is toggled.
    void StopClicked();
    // A recording began at its start click (true) or has ended, its file complete (false).
    void ActiveChanged(bool active);
    // A recording could not be made or ended early; the text for the message tip.
    void Tip(const QString& text);

private:
    void RecordThread();
    void Finished(int result, const std::filesystem::path& file,
                  const std::filesystem::path& folder);

    std::function<std::string()> audioDeviceName_;
    RecorderEntries entries_;
    std::atomic<bool> m_bRecording{false};
    std::atomic<bool> m_bRecordBusy{false};
    std::atomic<bool> exiting_{false};
    std::thread thread_;  // started and joined on the interface thread

    mutable std::mutex stateMutex_;
    bool stopAsked_ = false;  // guarded by stateMutex_: a stop click while starting
    int32_t m_nCodec = 0;     // guarded by stateMutex_

    mutable std::mutex mutex_;
    std::condition_variable threadEnded_;
    bool threadRunning_ = false;                     // guarded by mutex_
    std::string outputPath_;                         // guarded by mutex_
    std::chrono::steady_clock::time_point clicked_;  // guarded by mutex_
};

}  // namespace zavreo
