#include "SoundEffectPlayer.h"

#include "AudioSink.h"

namespace zavreo {

namespace {

constexpr std::array<const char*, kSoundEffectCount> kFileNames = {
    "1笑声.mp3", "2欢呼.mp3", "3起哄.mp3", "4耳光.mp3", "5搞怪.mp3",
    "6汗颜.mp3", "7亲嘴.mp3", "8前奏.mp3", "9欢快.mp3"};

}  // namespace

const char* SoundEffectPlayer::FileName(int number) {
    return number >= 1 && number <= kSoundEffectCount ? kFileNames[number - 1] : "";
}

SoundEffectPlayer::SoundEffectPlayer(std::filesystem::path folder, std::string audioSink)
    : folder_(std::move(folder)), audioSink_(AudioSinkDescription(std::move(audioSink))) {
    gst_init(nullptr, nullptr);
}

SoundEffectPlayer::~SoundEffectPlayer() {
    for (int i = 0; i < kSoundEffectCount; ++i) {
        Release(i);
    }
}

void SoundEffectPlayer::Release(int index) {
    GstElement*& player = players_[index];
    if (player == nullptr) {
        return;
    }
    GstBus* bus = gst_element_get_bus(player);
    gst_bus_remove_watch(bus);
    gst_object_unref(bus);
    gst_element_set_state(player, GST_STATE_NULL);
    gst_object_unref(player);
    player = nullptr;
}

// Runs in the default main context (the interface thread).
gboolean SoundEffectPlayer::OnBusMessage(GstBus*, GstMessage* message, gpointer data) {
    const EndWatch& watch = *static_cast<EndWatch*>(data);
    if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_EOS ||
        GST_MESSAGE_TYPE(message) == GST_MESSAGE_ERROR) {
        // Removes this watch too; the source is gone once this returns.
        watch.owner->Release(watch.index);
        return G_SOURCE_REMOVE;
    }
    return G_SOURCE_CONTINUE;
}

bool SoundEffectPlayer::Play(int number) {
    if (number < 1 || number > kSoundEffectCount) {
        return false;
    }
    lastSound_ = number;
    std::error_code error;
    const std::filesystem::path file =
        std::filesystem::absolute(folder_ / kFileNames[number - 1], error);
    if (error || !std::filesystem::is_regular_file(file, error)) {
        return false;
    }
    GstElement*& player = players_[number - 1];
    if (player == nullptr) {
        player = gst_element_factory_make("playbin", nullptr);
        if (player == nullptr) {
            return false;
        }
        if (GstElement* sink = MakeAudioSink(audioSink_)) {
            g_object_set(player, "audio-sink", sink, nullptr);
        }
        watches_[number - 1] = {this, number - 1};
        GstBus* bus = gst_element_get_bus(player);
        gst_bus_add_watch(bus, &SoundEffectPlayer::OnBusMessage, &watches_[number - 1]);
        gst_object_unref(bus);
    }
    gchar* uri = gst_filename_to_uri(file.c_str(), nullptr);
    if (uri == nullptr) {
        return false;
    }
    // Back to the start: a replay of a playing effect begins again.
    gst_element_set_state(player, GST_STATE_NULL);
    g_object_set(player, "uri", uri, nullptr);
    g_free(uri);
    return gst_element_set_state(player, GST_STATE_PLAYING) != GST_STATE_CHANGE_FAILURE;
}

bool SoundEffectPlayer::IsPlaying(int number) const {
    if (number < 1 || number > kSoundEffectCount || players_[number - 1] == nullptr) {
        return false;
    }
    GstState current = GST_STATE_NULL;
    GstState pending = GST_STATE_VOID_PENDING;
    gst_element_get_state(players_[number - 1], &current, &pending, 0);
    return current == GST_STATE_PLAYING || pending == GST_STATE_PLAYING;
}

}  // namespace zavreo
