#pragma once
// The microphone: the PulseAudio source whose description is the name the program found (the
// name its device monitor shows), captured through libavdevice. Samples are stamped on the
// recorder's steady clock, counted from when the first arrived.
//
// Threads: a capture thread of its own reads the device; the recording thread takes what it has
// read with Take.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

extern "C" {
#include <libavformat/avformat.h>
}

namespace flashx {

// The PulseAudio source name for a description (or a source name) as the user's device list
// shows it; empty when no source has it or PulseAudio cannot be reached.
std::string FindPulseSource(const std::string& description);

// Interleaved signed 16-bit samples as they arrived, with the steady-clock time of the first.
struct AudioChunk {
    std::chrono::steady_clock::time_point capturedAt;
    std::vector<int16_t> samples;
};

class AudioSource {
public:
    AudioSource() = default;
    ~AudioSource();
    AudioSource(const AudioSource&) = delete;
    AudioSource& operator=(const AudioSource&) = delete;

    // Opens the source at `sampleRate` with `channels`; false with a message.
    bool Open(const std::string& source, int sampleRate, int channels, std::string* error);
    // Moves the chunks read so far into `out`.
    void Take(std::deque<AudioChunk>* out);
    // True once the first samples have arrived.
    bool Delivering() const { return delivering_; }
    // Waits until a chunk captured at or after `time` has arrived, at most `limit`.
    void WaitUntilPast(std::chrono::steady_clock::time_point time, std::chrono::milliseconds limit);

private:
    void Capture();

    AVFormatContext* input_ = nullptr;
    int channels_ = 2;
    int sampleRate_ = 44100;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> delivering_{false};  // set by the capture thread
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::chrono::steady_clock::time_point origin_;        // capture thread only
    std::deque<AudioChunk> chunks_;                       // guarded by mutex_
    std::chrono::steady_clock::time_point lastCaptured_;  // guarded by mutex_
};

}  // namespace flashx
