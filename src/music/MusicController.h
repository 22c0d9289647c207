#pragma once
// The music player of the main window: the play commands, the progress timer and the end of a
// song, the four play modes, previous and next, seeking, volume and mute, and the songs view's
// clicks that play, pause and resume. It drives the player's controls of the main window (play
// and mute buttons, the two sliders, the time and title labels) and tells the lyrics through its
// signals. Interface thread only.

#include <QObject>
#include <QString>
#include <cstdint>
#include <optional>
#include <string>

#include "AudioPlayer.h"
#include "PlaylistModel.h"
#include "SongTags.h"

class CBitmapSlider;
class CPngButton;
class QLabel;
class QTimer;

namespace zavreo {

class SongTagCache;

enum PlayState { PlayStopped = 0, PlayPlaying = 1, PlayPaused = 2 };
enum PlayMode { ModeSingleOnce = 0, ModeSingleLoop = 1, ModeListLoop = 2, ModeRandom = 3 };
enum PlayerAction { PlayerPlay = 0, PlayerPause = 1, PlayerResume = 2, PlayerStop = 3 };

inline constexpr const char* kIdleTitle = "最酷的自媒体视频直播平台";
inline constexpr const char* kIdleTime = "00:00 / 00:00";

// "mm:ss" with at least two digits each: 187 gives "03:07", 7509 gives "125:09".
std::string FormatClock(int64_t seconds);

// The main window's controls the player shows itself on.
struct PlayerControls {
    CPngButton* play = nullptr;
    CPngButton* mute = nullptr;
    CBitmapSlider* progress = nullptr;
    CBitmapSlider* volume = nullptr;
    QLabel* time = nullptr;
    QLabel* title = nullptr;
};

class MusicController : public QObject {
    Q_OBJECT
public:
    // `progressTimer` is the main window's timer 1, `lyricTimer` its timer 10020; the controller
    // starts and stops them as songs play, pause and stop.
    MusicController(PlaylistModel& model, PlayerControls controls, QTimer& progressTimer,
                    QTimer& lyricTimer, std::string audioSink = {}, QObject* parent = nullptr);

    // The play command: `path`, when given, becomes the song to hold first.
    void PlayerCommand(std::optional<std::string> path, int action);

    // Play/pause (button 1003 and the lyrics bar's play button).
    void TogglePlay();
    void PlayNext(bool sequential);
    void PlayPrevious(bool sequential);
    // Previous and next buttons: sequential unless the mode is random.
    void PreviousButton() { PlayPrevious(m_nPlayMode != ModeRandom); }
    void NextButton() { PlayNext(m_nPlayMode != ModeRandom); }
    void SetPlayMode(int mode);
    void OnProgressTimer();
    // The progress slider moved to `position` ms.
    void Seek(int position);
    // The volume slider moved.
    void SetVolume(int position);
    void ToggleMute();
    // The volume and mute switch of an earlier run: `volume` becomes the volume and the slider's
    // place, then the switch is set as the mute button would set it.
    void RestoreSound(int volume, bool muted);
    // The exit sequence: stop and go back to the start.
    void StopForExit();
    // The title line names the song by its tags once they are read.
    void SetSongTags(SongTagCache* tags);
    // The playing song's tags; null when none are known.
    const SongTags* SongTagsOfPlaying() const;

    // Clicks of the songs view on song rows.
    void SongClicked(int row);
    void SongDoubleClicked(int row);
    // The song menu's "播放" and "删除" on `row`.
    void PlaySongAt(int row);
    void RemoveSongAt(int row);

    int64_t PositionMs() const { return player_.PositionMs(); }
    int64_t LengthMs() const { return player_.LengthMs(); }
    bool IsPlaying() const { return m_nPlayState == PlayPlaying; }
    int PlayStateValue() const { return m_nPlayState; }
    int Mode() const { return m_nPlayMode; }
    int Volume() const { return m_nVolume; }
    bool Muted() const { return m_bMuted; }
    const std::string& SongPath() const { return m_strSongPath; }
    AudioPlayer& Player() { return player_; }
    // The time label's text: elapsed / total.
    QString TimeText() const;

signals:
    // A new song is about to play: the lyrics look up `path`'s lyrics and start from their top.
    void SongOpened(const std::string& path);
    // The play buttons show their playing (true) or idle pictures.
    void PlayingChanged(bool playing);
    // The song was moved to `positionMs` while loaded.
    void Seeked(int64_t positionMs);

private:
    void ShowPlaying(bool playing);
    void ShowIdle();
    void ShowTitle();
    void EndOfSong();
    // No song of the list exists: stop, and forget the markers of the playing list.
    void StopAndForget();
    void PlayStep(bool sequential, int step);
    std::string Remaining() const;

    PlaylistModel& model_;
    PlayerControls controls_;
    QTimer& progressTimer_;
    QTimer& lyricTimer_;
    AudioPlayer player_;
    SongTagCache* tags_ = nullptr;

    std::string m_strSongPath;
    int m_nPlayState = PlayStopped;
    int m_nPlayMode = ModeListLoop;
    int m_nVolume = 500;
    bool m_bMuted = false;
    // The row whose playing song the last press paused, until the next click: a double click
    // begins with that press.
    std::optional<int> pausedByPress_;
};

}  // namespace zavreo
