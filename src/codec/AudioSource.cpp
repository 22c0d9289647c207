#include "AudioSource.h"

#include <algorithm>

extern "C" {
#include <libavdevice/avdevice.h>
}

namespace flashx {
namespace {

using Clock = std::chrono::steady_clock;

// How long chunks must all arrive late, and by how much, before samples count as lost.
constexpr auto kLossWindow = std::chrono::seconds(2);
constexpr auto kLossLag = std::chrono::milliseconds(100);
// Small fragments keep the delay between capture and arrival near 20 ms.
constexpr pa_usec_t kFragmentUsec = 20000;

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

Clock::time_point CaptureClock::At(int64_t sample) const {
    return origin_ + std::chrono::microseconds(sample * 1000000 / sampleRate_);
}

Clock::time_point CaptureClock::Stamp(Clock::time_point now, int64_t count) {
    const int64_t end = samplesRead_ + count;
    if (samplesRead_ == 0 || now < At(end)) {
        origin_ = now - std::chrono::microseconds(end * 1000000 / sampleRate_);
    }
    windowLag_ = std::min(windowLag_, now - At(end));
    if (now >= windowEnd_) {
        if (windowLag_ > kLossLag) {
            origin_ += windowLag_;
        }
        windowEnd_ = now + kLossWindow;
        windowLag_ = Clock::duration::max();
    }
    const Clock::time_point first = At(samplesRead_);
    samplesRead_ = end;
    return first;
}

AudioSource::AudioSource(const std::string& source, int sampleRate, int channels)
    : source_(source), sampleRate_(sampleRate), channels_(channels), clock_(sampleRate) {
    lastCaptured_ = Clock::now();
    loop_ = pa_threaded_mainloop_new();
    if (loop_ == nullptr) {
        Fail("cannot start a PulseAudio main loop");
        return;
    }
    context_ = pa_context_new(pa_threaded_mainloop_get_api(loop_), "FlashX");
    if (context_ == nullptr) {
        Fail("cannot make a PulseAudio context");
        return;
    }
    pa_context_set_state_callback(context_, &AudioSource::OnContextState, this);
    if (pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
        Fail(std::string("cannot reach PulseAudio: ") + pa_strerror(pa_context_errno(context_)));
        return;
    }
    if (pa_threaded_mainloop_start(loop_) < 0) {
        Fail("cannot start a PulseAudio main loop");
    }
}

AudioSource::~AudioSource() {
    if (loop_ == nullptr) {
        return;
    }
    // Nothing here waits for the server: the stream and the connection are dropped on this side.
    pa_threaded_mainloop_lock(loop_);
    if (stream_ != nullptr) {
        pa_stream_set_state_callback(stream_, nullptr, nullptr);
        pa_stream_set_read_callback(stream_, nullptr, nullptr);
        pa_stream_disconnect(stream_);
        pa_stream_unref(stream_);
    }
    if (context_ != nullptr) {
        pa_context_set_state_callback(context_, nullptr, nullptr);
        pa_context_disconnect(context_);
        pa_context_unref(context_);
    }
    pa_threaded_mainloop_unlock(loop_);
    pa_threaded_mainloop_stop(loop_);
    pa_threaded_mainloop_free(loop_);
}

// Main loop thread.
void AudioSource::OnContextState(pa_context* context, void* data) {
    auto* self = static_cast<AudioSource*>(data);
    switch (pa_context_get_state(context)) {
        case PA_CONTEXT_READY: {
            const pa_sample_spec sampleFormat{PA_SAMPLE_S16LE,
                                              static_cast<uint32_t>(self->sampleRate_),
                                              static_cast<uint8_t>(self->channels_)};
            pa_channel_map map;
            pa_channel_map_init_extend(&map, sampleFormat.channels, PA_CHANNEL_MAP_DEFAULT);
            self->stream_ = pa_stream_new(context, "录像", &sampleFormat, &map);
            if (self->stream_ == nullptr) {
                self->Fail("cannot make a PulseAudio record stream");
                return;
            }
            pa_stream_set_state_callback(self->stream_, &AudioSource::OnStreamState, self);
            pa_stream_set_read_callback(self->stream_, &AudioSource::OnRead, self);
            pa_buffer_attr attributes{};
            attributes.maxlength = static_cast<uint32_t>(-1);
            attributes.tlength = attributes.prebuf = attributes.minreq = static_cast<uint32_t>(-1);
            attributes.fragsize =
                static_cast<uint32_t>(pa_usec_to_bytes(kFragmentUsec, &sampleFormat));
            if (pa_stream_connect_record(self->stream_, self->source_.c_str(), &attributes,
                                         PA_STREAM_ADJUST_LATENCY) < 0) {
                self->Fail("cannot open the audio source " + self->source_ + ": " +
                           pa_strerror(pa_context_errno(context)));
            }
            break;
        }
        case PA_CONTEXT_FAILED:
        case PA_CONTEXT_TERMINATED:
            self->Fail(std::string("lost PulseAudio: ") + pa_strerror(pa_context_errno(context)));
            break;
        default:
            break;
    }
}

// Main loop thread.
void AudioSource::OnStreamState(pa_stream* stream, void* data) {
    auto* self = static_cast<AudioSource*>(data);
    const pa_stream_state_t state = pa_stream_get_state(stream);
    if (state == PA_STREAM_FAILED || state == PA_STREAM_TERMINATED) {
        self->Fail("cannot read the audio source " + self->source_ + ": " +
                   pa_strerror(pa_context_errno(pa_stream_get_context(stream))));
    }
}

// Main loop thread. Everything readable now arrived now: a burst (a monitor of a sink that renders
// in large blocks) is one chunk, its samples one after another up to this moment.
void AudioSource::OnRead(pa_stream* stream, size_t, void* data) {
    auto* self = static_cast<AudioSource*>(data);
    const size_t frameBytes = sizeof(int16_t) * static_cast<size_t>(self->channels_);
    AudioChunk chunk;
    const void* samples = nullptr;
    size_t bytes = 0;
    while (pa_stream_peek(stream, &samples, &bytes) == 0 && bytes > 0) {
        const size_t count = bytes / frameBytes * static_cast<size_t>(self->channels_);
        if (samples == nullptr) {
            // A stretch the server could not deliver, kept as silence so the samples after it
            // keep their times.
            chunk.samples.insert(chunk.samples.end(), count, 0);
        } else {
            const auto* first = static_cast<const int16_t*>(samples);
            chunk.samples.insert(chunk.samples.end(), first, first + count);
        }
        pa_stream_drop(stream);
    }
    const auto frames = static_cast<int64_t>(chunk.samples.size()) / self->channels_;
    if (frames == 0) {
        return;
    }
    chunk.capturedAt = self->clock_.Stamp(Clock::now(), frames);
    {
        std::lock_guard lock(self->mutex_);
        self->lastCaptured_ = self->clock_.End();
        self->chunks_.push_back(std::move(chunk));
        self->delivering_ = true;
    }
    self->arrived_.notify_all();
}

void AudioSource::Fail(const std::string& what) {
    std::lock_guard lock(mutex_);
    if (error_.empty()) {
        error_ = what;
    }
}

void AudioSource::Take(std::deque<AudioChunk>* out) {
    std::lock_guard lock(mutex_);
    for (auto& chunk : chunks_) {
        out->push_back(std::move(chunk));
    }
    chunks_.clear();
}

bool AudioSource::Delivering() {
    std::lock_guard lock(mutex_);
    return delivering_;
}

std::string AudioSource::Error() {
    std::lock_guard lock(mutex_);
    return error_;
}

void AudioSource::WaitUntilPast(Clock::time_point time, std::chrono::milliseconds limit) {
    std::unique_lock lock(mutex_);
    arrived_.wait_for(lock, limit, [&] { return lastCaptured_ >= time || !error_.empty(); });
}

}  // namespace flashx
