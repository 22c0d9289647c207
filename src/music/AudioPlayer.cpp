#include "AudioPlayer.h"

#include <gst/audio/streamvolume.h>

#include <QMetaObject>
#include <algorithm>
#include <filesystem>

#include "AudioSink.h"

namespace zavreo {

namespace {

// What the streaming thread hands over: which player, and which of its songs.
struct BusTarget {
    AudioPlayer* player;
    uint64_t generation;
    GstElement* pipeline;
};

void FreeBusTarget(gpointer target) {
    delete static_cast<BusTarget*>(target);
}

}  // namespace

AudioPlayer::AudioPlayer(std::string audioSink, QObject* parent)
    : QObject(parent), audioSink_(AudioSinkDescription(std::move(audioSink))) {
    gst_init(nullptr, nullptr);
}

AudioPlayer::~AudioPlayer() {
    Close();
}

double AudioPlayer::LinearVolume(int volume) {
    const double cubic = std::clamp(volume, 0, 1000) / 1000.0;
    return gst_stream_volume_convert_volume(GST_STREAM_VOLUME_FORMAT_CUBIC,
                                            GST_STREAM_VOLUME_FORMAT_LINEAR, cubic);
}

GstBusSyncReply AudioPlayer::SyncHandler(GstBus*, GstMessage* message, gpointer data) {
    // Streaming thread: only the type crosses over, as a queued call.
    const auto* target = static_cast<const BusTarget*>(data);
    const int type = GST_MESSAGE_TYPE(message);
    const bool wanted = type == GST_MESSAGE_EOS || type == GST_MESSAGE_ERROR ||
                        (type == GST_MESSAGE_ASYNC_DONE &&
                         GST_MESSAGE_SRC(message) == GST_OBJECT(target->pipeline));
    if (wanted) {
        AudioPlayer* player = target->player;
        const uint64_t generation = target->generation;
        QMetaObject::invokeMethod(
            player, [player, generation, type] { player->OnBusMessage(generation, type); },
            Qt::QueuedConnection);
    }
    gst_message_unref(message);
    return GST_BUS_DROP;
}

bool AudioPlayer::OpenAndPlay(const std::string& path) {
    Close();
    if (path.empty()) {
        return false;
    }
    std::error_code error;
    const std::filesystem::path file = std::filesystem::absolute(path, error);
    gchar* uri = error ? nullptr : gst_filename_to_uri(file.c_str(), nullptr);
    if (uri == nullptr) {
        return false;
    }
    pipeline_ = gst_element_factory_make("playbin", nullptr);
    if (pipeline_ == nullptr) {
        g_free(uri);
        return false;
    }
    // Audio only: a video stream in the file would open a window of its own.
    GstElement* noVideo = gst_element_factory_make("fakesink", nullptr);
    g_object_set(pipeline_, "uri", uri, "video-sink", noVideo, nullptr);
    g_free(uri);
    if (GstElement* sink = MakeAudioSink(audioSink_)) {
        g_object_set(pipeline_, "audio-sink", sink, nullptr);
    }
    SetVolume(volume_);
    GstBus* bus = gst_element_get_bus(pipeline_);
    gst_bus_set_sync_handler(bus, &AudioPlayer::SyncHandler,
                             new BusTarget{this, ++generation_, pipeline_}, FreeBusTarget);
    gst_object_unref(bus);
    pendingSeekMs_ = -1;
    if (gst_element_set_state(pipeline_, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
        Close();
        return false;
    }
    return true;
}

void AudioPlayer::Close() {
    if (pipeline_ == nullptr) {
        return;
    }
    gst_element_set_state(pipeline_, GST_STATE_NULL);
    GstBus* bus = gst_element_get_bus(pipeline_);
    gst_bus_set_sync_handler(bus, nullptr, nullptr, nullptr);
    gst_object_unref(bus);
    gst_object_unref(pipeline_);
    pipeline_ = nullptr;
    pendingSeekMs_ = -1;
    // Whatever is still queued belongs to the closed song.
    ++generation_;
}

void AudioPlayer::OnBusMessage(uint64_t generation, int type) {
    if (generation != generation_ || pipeline_ == nullptr) {
        return;
    }
    switch (type) {
        case GST_MESSAGE_EOS:
            emit EndOfStream();
            break;
        case GST_MESSAGE_ERROR:
            Close();
            emit Failed();
            break;
        case GST_MESSAGE_ASYNC_DONE:
            // A seek asked for before the file was ready lands now.
            if (pendingSeekMs_ >= 0) {
                const int64_t ms = pendingSeekMs_;
                pendingSeekMs_ = -1;
                SeekAndPlay(ms);
            }
            break;
        default:
            break;
    }
}

void AudioPlayer::Pause() {
    if (pipeline_ != nullptr) {
        gst_element_set_state(pipeline_, GST_STATE_PAUSED);
    }
}

void AudioPlayer::Resume() {
    if (pipeline_ != nullptr) {
        gst_element_set_state(pipeline_, GST_STATE_PLAYING);
    }
}

void AudioPlayer::StopAtStart() {
    if (pipeline_ == nullptr) {
        return;
    }
    pendingSeekMs_ = -1;
    gst_element_set_state(pipeline_, GST_STATE_PAUSED);
    gst_element_seek_simple(pipeline_, GST_FORMAT_TIME, GST_SEEK_FLAG_FLUSH, 0);
}

void AudioPlayer::SeekAndPlay(int64_t ms) {
    if (pipeline_ == nullptr) {
        return;
    }
    ms = std::max<int64_t>(ms, 0);
    const auto flags = static_cast<GstSeekFlags>(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE);
    if (!gst_element_seek_simple(pipeline_, GST_FORMAT_TIME, flags, ms * GST_MSECOND)) {
        pendingSeekMs_ = ms;
    }
    gst_element_set_state(pipeline_, GST_STATE_PLAYING);
}

bool AudioPlayer::Ready() const {
    gint64 length = 0;
    return pipeline_ != nullptr &&
           gst_element_query_duration(pipeline_, GST_FORMAT_TIME, &length) && length > 0;
}

int64_t AudioPlayer::PositionMs() const {
    gint64 position = 0;
    if (pipeline_ == nullptr ||
        !gst_element_query_position(pipeline_, GST_FORMAT_TIME, &position) || position < 0) {
        return 0;
    }
    return position / GST_MSECOND;
}

int64_t AudioPlayer::LengthMs() const {
    gint64 length = 0;
    if (pipeline_ == nullptr || !gst_element_query_duration(pipeline_, GST_FORMAT_TIME, &length) ||
        length < 0) {
        return 0;
    }
    return length / GST_MSECOND;
}

void AudioPlayer::SetVolume(int volume) {
    volume_ = std::clamp(volume, 0, 1000);
    if (pipeline_ != nullptr) {
        g_object_set(pipeline_, "volume", LinearVolume(volume_), nullptr);
    }
}

}  // namespace zavreo
