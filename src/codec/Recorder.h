#pragma once
// One recording: pictures from the virtual camera sampled on a steady clock at the frame rate,
// the microphone stamped on the same clock, both encoded into a crash-safe MP4 until stopped.
//
// Threads: Run blocks the recording thread; Stop may be called from any thread.

#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>

#include "RecordOptions.h"

namespace flashx {

// Set once; wakes the recording thread's waits.
class StopSignal {
public:
    void Request();
    bool Requested();
    // Sleeps until `deadline` or a stop request; true when stopped.
    template <typename TimePoint>
    bool WaitUntil(TimePoint deadline) {
        std::unique_lock lock(mutex_);
        return changed_.wait_until(lock, deadline, [this] { return requested_; });
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool requested_ = false;  // guarded by mutex_
};

class Recorder {
public:
    Recorder(RecordOptions options, StopSignal& stop) : options_(std::move(options)), stop_(stop) {}

    // Records from now until stopped or until the file cannot be written: the picture from the
    // first frame on, the sound at the time it was captured, silence where none came. `started`
    // runs once the first picture is in the file; a stop requested before that still leaves the
    // first picture. 0 when it ran until stopped; the errno value of the failure (ENOSPC for a
    // full disk) when the file could not be written: what was written before it stays, unless no
    // picture was, and then no file is left; -1 when recording could not begin for another
    // reason. The reason goes to standard error.
    int Run(const std::function<void()>& started);

private:
    RecordOptions options_;
    StopSignal& stop_;
};

}  // namespace flashx
