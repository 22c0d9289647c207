#pragma once
// The lyrics of the playing song, end to end: looks up the song's lyric file when it starts (in
// the lyrics folder, then beside the song; downloaded into the lyrics folder when neither exists),
// walks the timing every 100 ms from the player's position, shows the result in the desktop lyrics
// window, and wires the control bar and the search dialog. Owns the three windows.
//
// The player is reached only through LyricsPlayerHooks, and tells the controller what happens
// through SongStarted, Paused, Resumed, Stopped and Seeked. Everything runs on the interface
// thread except the download and the reading of lyric files, which run on a worker (AsyncJob) and
// land back here.

#include <QObject>
#include <QPoint>
#include <QTimer>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "AsyncJob.h"
#include "LyricTimeline.h"
#include "SongTags.h"

class CLyricDlg;
class CLyricSearchDlg;
class CLyricsWindow;

namespace zavreo {

inline constexpr char kLyricsNotFound[] = "哎呀，歌词没有找到";

struct LyricsPlayerHooks {
    // The playing position in ms at normal speed; none while no song is loaded.
    std::function<std::optional<int>()> positionMs;
    // The playing song's tags; null when none are known.
    std::function<const SongTags*()> songTags;
    // The control bar's music buttons.
    std::function<void()> previous;
    std::function<void()> playPause;
    std::function<void()> next;
};

class LyricsController : public QObject {
    Q_OBJECT
public:
    // `lyricTimer` is the main window's timer 10020; its timeouts must call LyricTick.
    explicit LyricsController(QTimer& lyricTimer);
    ~LyricsController() override;

    // Creates the windows (hidden, the lyrics window at the bottom of the work area with the idle
    // line, the bar above it).
    void Create();
    void SetPlayer(LyricsPlayerHooks hooks) { player_ = std::move(hooks); }

    // From the player.
    void SongStarted(const std::string& songPath);  // before the song starts playing
    void Paused();
    void Resumed();
    void Stopped();
    void Seeked();
    void SetPlaying(bool playing);

    // From the main window.
    void SetShown(bool shown);
    void LyricTick();
    void OnLyricWndMoved(QPoint point);
    void OnLyricBarMoved(QPoint point);
    void OnLyricResync();
    void ShiftLater();
    void ShiftEarlier();
    // The lyric file of a song in the lyrics folder, where downloaded and chosen lyrics go.
    static std::filesystem::path LyricFileFor(const std::string& songPath);

    CLyricsWindow& Window() { return *window_; }
    CLyricDlg& Bar() { return *bar_; }
    CLyricSearchDlg& Search() { return *search_; }
    const LyricTimeline& Timeline() const { return timeline_; }
    bool HasLyrics() const { return m_bHasLyrics; }

signals:
    // The lyrics were shown or hidden (the main window marks its lyrics button).
    void ShownChanged(bool shown);
    // The current song's lyrics were looked up (its lyric file read, downloaded, or a search
    // result taken), with or without lyrics.
    void LookupFinished(bool found);

private:
    std::optional<int> PositionSec() const;
    void Display(const std::optional<LyricDisplay>& display);
    // The file written, none when it could not be.
    std::optional<std::filesystem::path> UseChosenLyrics(const std::string& text);
    // Reads `file` on a worker, then shows its lines; outside the start of a song
    // (`startingSong` false) they are re-synchronised to the playing song.
    void LoadLyrics(const std::filesystem::path& file, bool startingSong);
    // The lines read, or the "not found" line when the file could not be read or was refused.
    void ShowLyrics(const std::optional<std::vector<LrcLine>>& lines, bool startingSong);
    void ShowBarOnTop();
    // The timer moves the lines only while a song plays.
    void StartTimerWhilePlaying();

    QTimer& timer_;
    std::unique_ptr<CLyricsWindow> window_;
    std::unique_ptr<CLyricSearchDlg> search_;
    std::unique_ptr<CLyricDlg> bar_;
    LyricsPlayerHooks player_;
    LyricTimeline timeline_;
    AsyncJob download_;
    bool m_bHasLyrics = false;
    // A song plays: from its start or resumption to its pause or stop.
    bool m_bPlaying = false;
    std::filesystem::path m_strLrcPath;
    std::string songPath_;
};

}  // namespace zavreo
