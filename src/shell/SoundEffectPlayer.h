#pragma once
// The nine short sound effects of the pad. Each effect has a player of its own, independent of
// the music, so effects mix over the song and over each other. A player lives only while its
// effect plays: its threads and audio stream are released when the effect ends, through GLib's
// default main context (which Qt's event loop runs). Interface thread.

#include <gst/gst.h>

#include <array>
#include <filesystem>
#include <string>

namespace zavreo {

inline constexpr int kSoundEffectCount = 9;

class SoundEffectPlayer {
public:
    // `folder` holds the effect files; `audioSink` describes the GStreamer sink to play into, e.g.
    // "fakesink sync=true" (empty: $ZAVREO_AUDIO_SINK, else the system's default output).
    explicit SoundEffectPlayer(std::filesystem::path folder = "yinxiao",
                               std::string audioSink = {});
    ~SoundEffectPlayer();
    SoundEffectPlayer(const SoundEffectPlayer&) = delete;
    SoundEffectPlayer& operator=(const SoundEffectPlayer&) = delete;

    // Starts effect `number` (1 to 9) from its beginning, restarting it when it still plays. A
    // missing file plays nothing and says nothing. Returns whether playback started.
    bool Play(int number);

    // The number of the last effect started, 0 before the first.
    int LastSound() const { return lastSound_; }

    // Whether effect `number` is playing or on its way to it.
    bool IsPlaying(int number) const;

    // The file name of effect `number` (1 to 9), e.g. "1笑声.mp3".
    static const char* FileName(int number);

private:
    struct EndWatch {
        SoundEffectPlayer* owner;
        int index;
    };
    static gboolean OnBusMessage(GstBus* bus, GstMessage* message, gpointer data);
    void Release(int index);

    std::filesystem::path folder_;
    std::string audioSink_;
    std::array<GstElement*, kSoundEffectCount> players_{};
    std::array<EndWatch, kSoundEffectCount> watches_{};
    int lastSound_ = 0;
};

}  // namespace zavreo
