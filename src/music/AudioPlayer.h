#pragma once
// One song at a time on a GStreamer playbin. Positions and lengths are in milliseconds, the speed
// is 1000 at normal speed and the volume runs from 0 (silent) to 1000 (full), spread like the ear
// hears it. A file that cannot be opened or decoded closes the player: it is then not open, its
// position and length read 0 and Failed() is emitted.
//
// Threads: every method runs on the interface thread. GStreamer's streaming threads only post the
// end of a song and errors, which reach the interface thread as queued calls.

#include <gst/gst.h>

#include <QObject>
#include <cstdint>
#include <string>

namespace zavreo {

class AudioPlayer : public QObject {
    Q_OBJECT
public:
    // `audioSink` as for AudioSinkDescription (empty: $ZAVREO_AUDIO_SINK or the default output).
    explicit AudioPlayer(std::string audioSink = {}, QObject* parent = nullptr);
    ~AudioPlayer() override;

    // Opens `path` and starts playing it; false when there is nothing to open. Errors of
    // decoding arrive later through Failed().
    bool OpenAndPlay(const std::string& path);
    void Pause();
    void Resume();
    // Stops and goes back to the start; the song stays loaded.
    void StopAtStart();
    // Moves to `ms` and plays.
    void SeekAndPlay(int64_t ms);
    void Close();

    bool IsOpen() const { return pipeline_ != nullptr; }
    // Whether the song's length is known (it is once the file has been read far enough).
    bool Ready() const;
    int64_t PositionMs() const;
    int64_t LengthMs() const;
    int SpeedPermille() const { return 1000; }
    // 0..1000; kept across songs.
    void SetVolume(int volume);
    int Volume() const { return volume_; }
    // The volume as given to the playbin, 0.0 to 1.0.
    static double LinearVolume(int volume);

signals:
    // The song played to its end.
    void EndOfStream();
    // The song could not be opened or decoded; the player has closed.
    void Failed();

private:
    void OnBusMessage(uint64_t generation, int type);
    static GstBusSyncReply SyncHandler(GstBus* bus, GstMessage* message, gpointer self);

    std::string audioSink_;
    GstElement* pipeline_ = nullptr;
    // Tells the messages of the current song from those still queued for an earlier one.
    uint64_t generation_ = 0;
    int volume_ = 1000;
    int64_t pendingSeekMs_ = -1;
};

}  // namespace zavreo
