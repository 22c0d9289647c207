#pragma once
// The microphone: the PulseAudio source whose description is the name the program found (the
// name its device monitor shows). Captured through PulseAudio's own asynchronous client, so that
// nothing the server or the source does (a source waking from suspension, one that never delivers,
// a stalled server) can hold up the recording or its end. Samples are stamped on the recorder's
// steady clock.
//
// Threads: PulseAudio's main loop thread (one per source) connects, reads and stamps; the
// recording thread constructs, takes what has been read with Take and destroys.

#include <pulse/pulseaudio.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

namespace flashx {

// The PulseAudio source name for a description (or a source name) as the user's device list
// shows it; empty when no source has it or PulseAudio cannot be reached.
std::string FindPulseSource(const std::string& description);

// Interleaved signed 16-bit samples as they arrived, with the steady-clock time of the first.
struct AudioChunk {
    std::chrono::steady_clock::time_point capturedAt;
    std::vector<int16_t> samples;
};

// Turns the arrival of chunks into capture times. The source's samples are the clock: sample n was
// captured at origin + n / rate. A sample is read only after it was captured, so the origin is the
// earliest that the chunks' arrivals allow; a late delivery (a busy machine, a stalled process
// catching up) never makes the sound late. Chunks that arrive late for a whole window mean samples
// were lost on the way (an overrun): the origin moves on by the smallest delay of that window.
class CaptureClock {
public:
    explicit CaptureClock(int sampleRate) : sampleRate_(sampleRate) {}
    // The capture time of the first of `count` samples that arrived at `now`.
    std::chrono::steady_clock::time_point Stamp(std::chrono::steady_clock::time_point now,
                                                int64_t count);
    // The capture time of the sample after the last one stamped.
    std::chrono::steady_clock::time_point End() const { return At(samplesRead_); }

private:
    std::chrono::steady_clock::time_point At(int64_t sample) const;

    int sampleRate_;
    int64_t samplesRead_ = 0;
    std::chrono::steady_clock::time_point origin_;
    std::chrono::steady_clock::time_point windowEnd_;
    std::chrono::steady_clock::duration windowLag_ = std::chrono::steady_clock::duration::max();
};

class AudioSource {
public:
    // Starts connecting to `source` at `sampleRate` with `channels`; returns at once. The samples
    // come when the server and the source deliver them, or never.
    AudioSource(const std::string& source, int sampleRate, int channels);
    ~AudioSource();
    AudioSource(const AudioSource&) = delete;
    AudioSource& operator=(const AudioSource&) = delete;

    // Moves the chunks read so far into `out`.
    void Take(std::deque<AudioChunk>* out);
    // True once the first samples have arrived.
    bool Delivering();
    // Waits until a chunk captured at or after `time` has arrived, at most `limit`.
    void WaitUntilPast(std::chrono::steady_clock::time_point time, std::chrono::milliseconds limit);
    // Why the source could not be read (empty while it can be or may yet be).
    std::string Error();

private:
    static void OnContextState(pa_context* context, void* self);
    static void OnStreamState(pa_stream* stream, void* self);
    static void OnRead(pa_stream* stream, size_t bytes, void* self);
    void Fail(const std::string& what);

    const std::string source_;
    const int sampleRate_;
    const int channels_;
    pa_threaded_mainloop* loop_ = nullptr;
    pa_context* context_ = nullptr;  // main loop thread, or under the loop's lock
    pa_stream* stream_ = nullptr;    // main loop thread, or under the loop's lock
    CaptureClock clock_;             // main loop thread

    std::mutex mutex_;
    std::condition_variable arrived_;
    std::deque<AudioChunk> chunks_;                       // guarded by mutex_
    bool delivering_ = false;                             // guarded by mutex_
    std::chrono::steady_clock::time_point lastCaptured_;  // guarded by mutex_
    std::string error_;                                   // guarded by mutex_
};

}  // namespace flashx
