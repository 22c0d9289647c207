#pragma once
// Listens to a PulseAudio source (a null sink's monitor) through libavdevice on a thread of its
// own and tells when sound first rises above a threshold: the steady-clock moment its first loud
// sample reached the source, from the arrival of the chunk that held it less the samples after it.

#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

extern "C" {
#include <libavdevice/avdevice.h>
#include <libavformat/avformat.h>
}

class SoundOnsetListener {
public:
    using Clock = std::chrono::steady_clock;

    explicit SoundOnsetListener(const std::string& source) {
        avdevice_register_all();
        input_ = avformat_alloc_context();
        input_->interrupt_callback = {&Interrupted, &stop_};
        AVDictionary* options = nullptr;
        av_dict_set_int(&options, "sample_rate", kRate, 0);
        av_dict_set_int(&options, "channels", 2, 0);
        av_dict_set_int(&options, "fragment_size", kRate / 200 * 4, 0);  // 5 ms
        if (avformat_open_input(&input_, source.c_str(), av_find_input_format("pulse"), &options) <
            0) {
            input_ = nullptr;
        }
        av_dict_free(&options);
        if (input_ != nullptr) {
            thread_ = std::thread([this] { Listen(); });
        }
    }
    ~SoundOnsetListener() {
        stop_ = true;
        // The reader waits for the source's next chunk; a monitor of a running sink sends one
        // every few milliseconds.
        if (thread_.joinable()) {
            thread_.join();
        }
        avformat_close_input(&input_);
    }
    bool Listening() const { return thread_.joinable(); }

    // Forgets any sound heard so far; the next onset counts from now.
    void Reset() {
        std::lock_guard lock(mutex_);
        onset_.reset();
        lastLoud_ = Clock::now();
    }
    // The onset of the first sound since Reset, waiting at most `limit` for it.
    std::optional<Clock::time_point> WaitForSound(std::chrono::milliseconds limit) {
        std::unique_lock lock(mutex_);
        heard_.wait_for(lock, limit, [this] { return onset_.has_value(); });
        return onset_;
    }
    // Waits until the source has been quiet for `quiet`, at most `limit`.
    bool WaitForQuiet(std::chrono::milliseconds quiet, std::chrono::milliseconds limit) {
        const auto deadline = Clock::now() + limit;
        while (Clock::now() < deadline) {
            {
                std::lock_guard lock(mutex_);
                if (Clock::now() - lastLoud_ >= quiet) {
                    return true;
                }
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }

private:
    static constexpr int kRate = 48000;
    // The test songs' tone peaks near 4000 of 32767.
    static constexpr int kThreshold = 1000;

    static int Interrupted(void* flag) { return static_cast<std::atomic<bool>*>(flag)->load(); }

    // Listener thread.
    void Listen() {
        AVPacket* packet = av_packet_alloc();
        while (!stop_ && av_read_frame(input_, packet) >= 0) {
            const auto arrived = Clock::now();
            const auto* samples = reinterpret_cast<const int16_t*>(packet->data);
            const int count = packet->size / 4;
            int loud = -1;
            for (int i = 0; i < count * 2 && loud < 0; ++i) {
                if (std::abs(samples[i]) > kThreshold) {
                    loud = i / 2;
                }
            }
            av_packet_unref(packet);
            std::lock_guard lock(mutex_);
            if (loud < 0) {
                continue;
            }
            lastLoud_ = arrived;
            if (!onset_) {
                onset_ =
                    arrived - std::chrono::microseconds(int64_t{count - loud} * 1000000 / kRate);
                heard_.notify_all();
            }
        }
        av_packet_free(&packet);
    }

    AVFormatContext* input_ = nullptr;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::condition_variable heard_;
    std::optional<Clock::time_point> onset_;  // guarded by mutex_
    Clock::time_point lastLoud_;              // guarded by mutex_
};
