#include "LyricsController.h"

#include "AtomicFile.h"
#include "CLyricDlg.h"
#include "CLyricSearchDlg.h"
#include "CLyricsWindow.h"
#include "DialogsAboveLyrics.h"
#include "LrcParser.h"
#include "LyricClient.h"
#include "LyricFiles.h"
#include "UserFileReader.h"
#include "UserFolders.h"
#include "WindowSystem.h"

namespace zavreo {

namespace {

constexpr int kTickMs = 100;

using ReadLines = std::optional<std::vector<LrcLine>>;

// The lines of a song's lyrics and whether they were on disk already (else downloaded).
struct FoundLyrics {
    ReadLines lines;
    bool local = false;
};

// Worker thread. A file over the limits is refused as a whole, one byte past them included.
ReadLines ReadLyricFile(const std::filesystem::path& file) {
    const std::optional<std::string> bytes = ReadRegularFile(file, kMaxLyricFileBytes + 1);
    if (!bytes) {
        return std::nullopt;
    }
    return ParseLyricFile(*bytes);
}

}  // namespace

LyricsController::LyricsController(QTimer& lyricTimer)
    : timer_(lyricTimer),
      window_(std::make_unique<CLyricsWindow>()),
      search_(std::make_unique<CLyricSearchDlg>()),
      bar_(std::make_unique<CLyricDlg>(*window_, *search_)) {
    timer_.setInterval(kTickMs);
    connect(window_.get(), &CLyricsWindow::Moved, this, &LyricsController::OnLyricWndMoved);
    // A window grown upwards for a larger font would run under the bar: the bar goes above it.
    connect(window_.get(), &CLyricsWindow::Refitted, this, [this] {
        bar_->move(window_->x() + (window_->width() - bar_->width()) / 2,
                   window_->y() - bar_->height());
    });
    connect(bar_.get(), &CLyricDlg::Moved, this, &LyricsController::OnLyricBarMoved);
    connect(bar_.get(), &CLyricDlg::ResyncRequested, this, &LyricsController::OnLyricResync);
    connect(bar_.get(), &CLyricDlg::ShiftLater, this, &LyricsController::ShiftLater);
    connect(bar_.get(), &CLyricDlg::ShiftEarlier, this, &LyricsController::ShiftEarlier);
    connect(bar_.get(), &CLyricDlg::ShowRequested, this, [this] { SetShown(true); });
    connect(bar_.get(), &CLyricDlg::PreviousSong, this, [this] {
        if (player_.previous)
            player_.previous();
    });
    connect(bar_.get(), &CLyricDlg::PlayPause, this, [this] {
        if (player_.playPause)
            player_.playPause();
    });
    connect(bar_.get(), &CLyricDlg::NextSong, this, [this] {
        if (player_.next)
            player_.next();
    });
    // Owned by the lyrics window.
    new DialogsAboveLyrics(*window_, *bar_, *search_);
    search_->playingSong = [this]() -> std::optional<CLyricSearchDlg::PlayingSong> {
        if (!PositionSec() || songPath_.empty()) {
            return std::nullopt;
        }
        const SongTags* tags = player_.songTags ? player_.songTags() : nullptr;
        return CLyricSearchDlg::PlayingSong{songPath_, tags ? tags->title : std::string(),
                                            tags ? tags->artist : std::string()};
    };
    search_->useLyrics = [this](const std::string& text) { return UseChosenLyrics(text); };
}

LyricsController::~LyricsController() = default;

void LyricsController::Create() {
    window_->m_bSelfMoving = true;
    window_->Create();
    if (WindowSystem::PlacesTopLevels()) {
        OnLyricWndMoved(window_->pos());
    } else {
        window_->HoldBar(*bar_);
    }
    window_->SetLyricText(std::string(CLyricDlg::kIdleLine), 0);
    window_->hide();
    window_->m_bSelfMoving = false;
    window_->m_bLocked = false;
}

std::optional<int> LyricsController::PositionSec() const {
    if (!player_.positionMs) {
        return std::nullopt;
    }
    const std::optional<int> ms = player_.positionMs();
    if (!ms) {
        return std::nullopt;
    }
    return *ms / 1000;
}

void LyricsController::Display(const std::optional<LyricDisplay>& display) {
    if (display) {
        window_->SetLyricText(display->text, display->progress);
    }
}

std::filesystem::path LyricsController::LyricFileFor(const std::string& songPath) {
    return LyricsFolderFile(LyricsFolder(), songPath);
}

void LyricsController::SongStarted(const std::string& songPath) {
    download_.Cancel();
    m_bPlaying = true;
    songPath_ = songPath;
    m_strLrcPath = LyricFileFor(songPath);
    // Until the lyrics are read or the server answers, the last song's lines must not run on.
    m_bHasLyrics = false;
    timer_.stop();
    window_->SetLyricText(std::nullopt, 0);
    // Only an MP3's ID3v1 tag names the song to the lyrics server; other songs' lyrics come from
    // files alone.
    const bool mayDownload = std::filesystem::path(songPath).extension() == ".mp3";
    const std::filesystem::path file = m_strLrcPath;
    download_.Start<FoundLyrics>(
        [songPath, file, mayDownload](const std::atomic<bool>& cancel) -> FoundLyrics {
            if (const std::optional<std::filesystem::path> local = FindLyricFile(file, songPath)) {
                return {ReadLyricFile(*local), true};
            }
            if (!mayDownload || !FetchLyrics(songPath, file, &cancel)) {
                return {};
            }
            return {ReadLyricFile(file), false};
        },
        // A download took a while, and the song has been playing meanwhile: its current line,
        // not its first.
        [this](FoundLyrics found) { ShowLyrics(found.lines, found.local); });
}

void LyricsController::StartTimerWhilePlaying() {
    if (m_bPlaying) {
        timer_.start();
    }
}

void LyricsController::LoadLyrics(const std::filesystem::path& file, bool startingSong) {
    download_.Start<ReadLines>(
        [file](const std::atomic<bool>&) { return ReadLyricFile(file); },
        [this, startingSong](ReadLines lines) { ShowLyrics(lines, startingSong); });
}

void LyricsController::ShowLyrics(const ReadLines& lines, bool startingSong) {
    timer_.stop();
    m_bHasLyrics = lines.has_value();
    if (!lines) {
        window_->SetLyricText(std::string(kLyricsNotFound), 0);
        emit LookupFinished(false);
        return;
    }
    timeline_.Load(*lines);
    timeline_.SetSingleLine(!bar_->m_bDoubleLine);
    window_->SetLyricText(timeline_.FirstPairText(), 0);
    if (!startingSong) {
        if (const std::optional<int> pos = PositionSec()) {
            Display(timeline_.Resync(*pos));
        }
    }
    StartTimerWhilePlaying();
    emit LookupFinished(true);
}

std::optional<std::filesystem::path> LyricsController::UseChosenLyrics(const std::string& text) {
    if (m_strLrcPath.empty() || !WriteFileAtomically(m_strLrcPath, text)) {
        return std::nullopt;
    }
    LoadLyrics(m_strLrcPath, false);
    return m_strLrcPath;
}

void LyricsController::Paused() {
    m_bPlaying = false;
    timer_.stop();
}

void LyricsController::Resumed() {
    m_bPlaying = true;
    if (m_bHasLyrics) {
        timer_.start();
    }
}

void LyricsController::Stopped() {
    // The stopped song's lyrics are not wanted any more; the next song asks again.
    download_.Cancel();
    m_bPlaying = false;
    timer_.stop();
}

void LyricsController::Seeked() {
    const std::optional<int> pos = PositionSec();
    if (!pos || !m_bHasLyrics) {
        return;
    }
    timer_.stop();
    Display(timeline_.Resync(*pos));
    StartTimerWhilePlaying();
}

void LyricsController::SetPlaying(bool playing) {
    bar_->SetPlaying(playing);
}

void LyricsController::LyricTick() {
    const std::optional<int> pos = PositionSec();
    if (!m_bHasLyrics || !pos) {
        return;
    }
    Display(timeline_.Tick(*pos));
}

void LyricsController::OnLyricResync() {
    timeline_.SetSingleLine(!bar_->m_bDoubleLine);
    Seeked();
}

void LyricsController::ShiftLater() {
    const std::optional<int> pos = PositionSec();
    if (!pos || !m_bHasLyrics) {
        return;
    }
    timer_.stop();
    Display(timeline_.ShiftLater(*pos));
    StartTimerWhilePlaying();
}

void LyricsController::ShiftEarlier() {
    const std::optional<int> pos = PositionSec();
    if (!pos || !m_bHasLyrics) {
        return;
    }
    if (const std::optional<LyricDisplay> shown = timeline_.ShiftEarlier(*pos)) {
        timer_.stop();
        Display(shown);
        StartTimerWhilePlaying();
    }
}

void LyricsController::SetShown(bool shown) {
    window_->setVisible(shown);
    bar_->setVisible(shown);
    if (shown) {
        ShowBarOnTop();
    }
    emit ShownChanged(shown);
}

void LyricsController::ShowBarOnTop() {
    bar_->show();
    bar_->update();
    bar_->raise();
}

void LyricsController::OnLyricWndMoved(QPoint point) {
    // A bar held inside moves with the window.
    if (window_->HoldsBar()) {
        return;
    }
    // A locked window does not move: the point is where it was clicked.
    if (window_->m_bLocked) {
        if (window_->isVisible()) {
            ShowBarOnTop();
        }
        return;
    }
    if (window_->m_bSelfMoving) {
        bar_->move(point.x() + (window_->width() - bar_->width()) / 2, point.y() - bar_->height());
        if (window_->isVisible()) {
            ShowBarOnTop();
        }
    }
}

void LyricsController::OnLyricBarMoved(QPoint point) {
    if (window_->m_bSelfMoving || window_->HoldsBar()) {
        return;
    }
    window_->move(point.x() - (window_->width() - bar_->width()) / 2, point.y() + bar_->height());
    // The bar stays above the window it brought along, but is not shown from here: Qt delivers a
    // move made while the bar was hidden as part of showing it, and showing it again from within
    // that would start the same show over, without end.
    if (window_->isVisible()) {
        bar_->raise();
    }
}

}  // namespace zavreo
