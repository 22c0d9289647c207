#include "AudioSource.h"

#include <algorithm>

extern "C" {
#include <libavdevice/avdevice.h>
}

namespace flashx {
namespace {

// How long chunks must all arrive late, and by how much, before samples count as lost.
constexpr auto kLossWindow = std::chrono::seconds(2);
constexpr auto kLossLag = std::chrono::milliseconds(100);

int InterruptCapture(void* opaque) {
    return static_cast<std::atomic<bool>*>(opaque)->load() ? 1 : 0;
}

}  // namespace

std::string FindPulseSource(const std::string& description) {
    avdevice_register_all();
    const AVInputFormat* pulse = av_find_input_format("pulse");
    AVDeviceInfoList* list = nullptr;
    std::string found;
    if (pulse == nullptr || avdevice_list_input_sources(pulse, nullptr, nullptr, &list) < 0) {
        avdevice_free_list_devices(&list);
        return found;
    }
    for (int i = 0; i < list->nb_devices && found.empty(); ++i) {
        const AVDeviceInfo* device = list->devices[i];
        if ((device->device_description && description == device->device_description) ||
            (device->device_name && description == device->device_name)) {
            found = device->device_name;
        }
    }
    avdevice_free_list_devices(&list);
    return found;
}

AudioSource::~AudioSource() {
    stop_ = true;
    if (thread_.joinable()) {
        thread_.join();
    }
    avformat_close_input(&input_);
}

bool AudioSource::Open(const std::string& source, int sampleRate, int channels,
                       std::string* error) {
    avdevice_register_all();
    sampleRate_ = sampleRate;
    channels_ = channels;
    input_ = avformat_alloc_context();
    input_->interrupt_callback = {&InterruptCapture, &stop_};
    AVDictionary* options = nullptr;
    av_dict_set_int(&options, "sample_rate", sampleRate, 0);
    av_dict_set_int(&options, "channels", channels, 0);
    // Small fragments keep the delay between capture and arrival near 20 ms.
    av_dict_set_int(&options, "fragment_size", sampleRate / 50 * channels * 2, 0);
    const int result =
        avformat_open_input(&input_, source.c_str(), av_find_input_format("pulse"), &options);
    av_dict_free(&options);
    if (result < 0 || input_->nb_streams == 0 ||
        input_->streams[0]->codecpar->codec_id != AV_CODEC_ID_PCM_S16LE) {
        *error = "cannot open the audio source " + source;
        avformat_close_input(&input_);
        return false;
    }
    lastCaptured_ = std::chrono::steady_clock::now();
    thread_ = std::thread(&AudioSource::Capture, this);
    return true;
}

// Capture thread. The device's samples are the clock: sample n was captured at origin_ + n / rate.
// A sample is read only after it was captured, so the origin is the earliest that the chunks'
// arrivals allow; a late delivery (a busy machine, a stalled process catching up) never makes
// the sound late. Chunks that arrive late for a whole window mean samples were lost on the way
// (an overrun): the origin moves on by the smallest delay of that window.
void AudioSource::Capture() {
    using std::chrono::microseconds;
    AVPacket* packet = av_packet_alloc();
    int64_t samplesRead = 0;
    auto windowEnd = std::chrono::steady_clock::now() + kLossWindow;
    auto windowLag = std::chrono::steady_clock::duration::max();
    while (!stop_ && av_read_frame(input_, packet) >= 0) {
        const auto now = std::chrono::steady_clock::now();
        AudioChunk chunk;
        chunk.samples.assign(reinterpret_cast<const int16_t*>(packet->data),
                             reinterpret_cast<const int16_t*>(packet->data) + packet->size / 2);
        av_packet_unref(packet);
        const int64_t count = static_cast<int64_t>(chunk.samples.size()) / channels_;
        auto at = [this](int64_t sample) {
            return origin_ + microseconds(sample * 1000000 / sampleRate_);
        };
        if (samplesRead == 0 || now < at(samplesRead + count)) {
            origin_ = now - microseconds((samplesRead + count) * 1000000 / sampleRate_);
        }
        windowLag = std::min(windowLag, now - at(samplesRead + count));
        if (now >= windowEnd) {
            if (windowLag > kLossLag) {
                origin_ += windowLag;
            }
            windowEnd = now + kLossWindow;
            windowLag = std::chrono::steady_clock::duration::max();
        }
        chunk.capturedAt = at(samplesRead);
        samplesRead += count;
        {
            std::lock_guard lock(mutex_);
            lastCaptured_ = at(samplesRead);
            chunks_.push_back(std::move(chunk));
        }
        delivering_ = true;
        arrived_.notify_all();
    }
    av_packet_free(&packet);
}

void AudioSource::Take(std::deque<AudioChunk>* out) {
    std::lock_guard lock(mutex_);
    for (auto& chunk : chunks_) {
        out->push_back(std::move(chunk));
    }
    chunks_.clear();
}

void AudioSource::WaitUntilPast(std::chrono::steady_clock::time_point time,
                                std::chrono::milliseconds limit) {
    std::unique_lock lock(mutex_);
    arrived_.wait_for(lock, limit, [&] { return lastCaptured_ >= time; });
}

}  // namespace flashx
