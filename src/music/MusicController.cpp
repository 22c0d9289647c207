#include "MusicController.h"

#include <QLabel>
#include <QTimer>
#include <algorithm>
#include <cstdio>

#include "CBitmapSlider.h"
#include "CPngButton.h"
#include "SongTagCache.h"

namespace zavreo {

std::string FormatClock(int64_t seconds) {
    char text[48];
    std::snprintf(text, sizeof text, "%02lld:%02lld", static_cast<long long>(seconds / 60),
                  static_cast<long long>(seconds % 60));
    return text;
}

MusicController::MusicController(PlaylistModel& model, PlayerControls controls,
                                 QTimer& progressTimer, QTimer& lyricTimer, std::string audioSink,
                                 QObject* parent)
    : QObject(parent),
      model_(model),
      controls_(controls),
      progressTimer_(progressTimer),
      lyricTimer_(lyricTimer),
      player_(std::move(audioSink)) {
    progressTimer_.setInterval(1000);
    connect(&progressTimer_, &QTimer::timeout, this, &MusicController::OnProgressTimer);
    // A song that plays out ends at once rather than up to a second later. One that cannot be
    // played has closed the player, and the next tick ends it: a list of broken files is tried
    // one a second, not in a busy loop.
    connect(&player_, &AudioPlayer::EndOfStream, this, &MusicController::EndOfSong);
}

void MusicController::ShowPlaying(bool playing) {
    if (controls_.play != nullptr) {
        if (playing) {
            controls_.play->SetImages("images/images/stop_normal_25.png",
                                      "images/images/stop_over_25.png",
                                      "images/images/stop_pess_25.png");
        } else {
            controls_.play->SetImages("images/images/player_normal_14.png",
                                      "images/images/player_over_14.png",
                                      "images/images/player_press_14.png");
        }
    }
    emit PlayingChanged(playing);
}

void MusicController::ShowIdle() {
    if (controls_.progress != nullptr) {
        controls_.progress->SetPos(0);
    }
    m_nPlayState = PlayStopped;
    ShowPlaying(false);
    m_strSongPath.clear();
    if (controls_.title != nullptr) {
        controls_.title->setText(QString::fromUtf8(kIdleTitle));
        controls_.title->update();
    }
    if (controls_.time != nullptr) {
        controls_.time->setText(QString::fromUtf8(kIdleTime));
    }
}

QString MusicController::TimeText() const {
    if (!player_.IsOpen()) {
        return QString::fromUtf8(kIdleTime);
    }
    const int speed = player_.SpeedPermille();
    const std::string text =
        FormatClock(player_.PositionMs() / speed) + " / " + FormatClock(player_.LengthMs() / speed);
    return QString::fromStdString(text);
}

std::string MusicController::Remaining() const {
    if (!player_.IsOpen()) {
        return "00:00";
    }
    return FormatClock((player_.LengthMs() - player_.PositionMs()) / player_.SpeedPermille());
}

void MusicController::PlayerCommand(std::optional<std::string> path, int action) {
    if (path) {
        m_strSongPath = std::move(*path);
    }
    switch (action) {
        case PlayerPlay: {
            emit SongOpened(m_strSongPath);
            progressTimer_.stop();
            player_.Close();
            player_.OpenAndPlay(m_strSongPath);
            ShowPlaying(true);
            player_.SetVolume(controls_.volume ? controls_.volume->GetPos() : m_nVolume);
            if (tags_ != nullptr) {
                tags_->Want(m_strSongPath);
            }
            ShowTitle();
            if (controls_.time != nullptr) {
                controls_.time->setText(TimeText());
            }
            progressTimer_.start(1000);
            if (controls_.progress != nullptr) {
                controls_.progress->SetRange(0, static_cast<int>(player_.LengthMs()));
                controls_.progress->SetPos(0);
            }
            m_nPlayState = PlayPlaying;
            break;
        }
        case PlayerPause:
            player_.Pause();
            m_nPlayState = PlayPaused;
            lyricTimer_.stop();
            ShowPlaying(false);
            break;
        case PlayerResume:
            player_.Resume();
            m_nPlayState = PlayPlaying;
            lyricTimer_.start(100);
            ShowPlaying(true);
            break;
        case PlayerStop:
            progressTimer_.stop();
            lyricTimer_.stop();
            player_.StopAtStart();
            ShowIdle();
            break;
        default:
            break;
    }
}

void MusicController::OnProgressTimer() {
    if (controls_.progress != nullptr) {
        // The length is known only once the file has been read far enough.
        const int length = static_cast<int>(player_.LengthMs());
        if (player_.Ready() && controls_.progress->GetRangeMax() != length) {
            controls_.progress->SetRange(0, length);
        }
        controls_.progress->SetPos(static_cast<int>(player_.PositionMs()));
    }
    if (controls_.time != nullptr) {
        controls_.time->setText(TimeText());
    }
    // A file still being opened has no length yet; it has not ended.
    if (player_.IsOpen() && !player_.Ready()) {
        return;
    }
    if (Remaining() == "00:00") {
        EndOfSong();
    }
}

void MusicController::EndOfSong() {
    if (!progressTimer_.isActive()) {
        return;
    }
    switch (m_nPlayMode) {
        case ModeSingleOnce:
            progressTimer_.stop();
            lyricTimer_.stop();
            player_.StopAtStart();
            ShowIdle();
            break;
        case ModeSingleLoop:
            m_nPlayState = PlayStopped;
            progressTimer_.stop();
            TogglePlay();
            break;
        case ModeListLoop:
            progressTimer_.stop();
            PlayNext(true);
            break;
        default:
            progressTimer_.stop();
            PlayNext(false);
            break;
    }
}

void MusicController::StopAndForget() {
    const SongMarker playing = model_.Playing();
    PlayerCommand(std::nullopt, PlayerStop);
    if (model_.Selected().set && model_.Selected().list == playing.list) {
        model_.ClearSelected();
    }
    if (playing.set && model_.GetItemState(playing.list, playing.index) == ItemPlaying) {
        model_.SetItemState(playing.list, playing.index, ItemNormal);
    }
    model_.ClearPlaying();
}

void MusicController::TogglePlay() {
    const SongMarker selected = model_.Selected();
    if (selected.set && m_strSongPath != selected.path && m_nPlayState != PlayPlaying) {
        const int index = model_.FirstExisting(selected.list, selected.index, 1);
        if (index < 0) {
            StopAndForget();
            return;
        }
        m_strSongPath = model_.GetItemText(selected.list, index);
        model_.MarkPlaying(index, m_strSongPath, selected.list);
        model_.SetItemState(selected.list, index, ItemPlaying);
        PlayerCommand(std::nullopt, PlayerPlay);
        return;
    }
    if (m_strSongPath.empty()) {
        if (model_.SongCount(kDefaultListName) == 0) {
            return;
        }
        const int index = model_.FirstExisting(kDefaultListName, 0, 1);
        if (index < 0) {
            StopAndForget();
            return;
        }
        m_strSongPath = model_.GetItemText(kDefaultListName, index);
        model_.MarkPlaying(index, m_strSongPath, kDefaultListName);
        model_.MarkSelected(index, m_strSongPath, kDefaultListName);
        model_.SetItemState(kDefaultListName, index, ItemPlaying);
        PlayerCommand(std::nullopt, PlayerPlay);
        return;
    }
    const SongMarker playing = model_.Playing();
    switch (m_nPlayState) {
        case PlayStopped:
            if (const CatCategory* category = model_.Find(playing.list)) {
                for (int i = 0; i < static_cast<int>(category->items.size()); ++i) {
                    if (category->items[i].state == ItemPlaying) {
                        model_.SetItemState(playing.list, i, ItemNormal);
                    }
                }
            }
            model_.SetItemState(playing.list, playing.index, ItemPlaying);
            PlayerCommand(std::nullopt, PlayerPlay);
            break;
        case PlayPlaying:
            model_.MarkSelected(playing.index, m_strSongPath, playing.list);
            model_.SetItemState(playing.list, playing.index, ItemSelected);
            PlayerCommand(std::nullopt, PlayerPause);
            break;
        default:
            model_.SetItemState(playing.list, playing.index, ItemPlaying);
            PlayerCommand(std::nullopt, PlayerResume);
            break;
    }
}

void MusicController::PlayStep(bool sequential, int step) {
    const SongMarker playing = model_.Playing();
    if (!playing.set || playing.list.empty()) {
        return;
    }
    const int count = model_.SongCount(playing.list);
    if (count == 0) {
        StopAndForget();
        return;
    }
    // FirstExisting wraps the start into the list.
    const int start = sequential ? playing.index + step : model_.RandomIndex();
    const int index = model_.FirstExisting(playing.list, start, sequential ? step : 1);
    if (index < 0) {
        StopAndForget();
        return;
    }
    const std::string path = model_.GetItemText(playing.list, index);
    model_.m_strCurPath = path;
    model_.MarkPlaying(index, path, playing.list);
    PlayerCommand(path, PlayerPlay);
    model_.SetItemState(playing.list, index, ItemPlaying);
}

void MusicController::PlayNext(bool sequential) {
    PlayStep(sequential, 1);
}

void MusicController::PlayPrevious(bool sequential) {
    PlayStep(sequential, -1);
}

void MusicController::SetPlayMode(int mode) {
    m_nPlayMode = std::clamp(mode, 0, 3);
    model_.m_nModeMark = m_nPlayMode;
    if (model_.changed) {
        model_.changed();
    }
}

void MusicController::Seek(int position) {
    player_.SeekAndPlay(std::max(position, 0));
    if (player_.IsOpen()) {
        emit Seeked(std::max(position, 0));
    }
}

void MusicController::SetVolume(int position) {
    m_nVolume = std::max(position, 0);
    player_.SetVolume(std::clamp(m_nVolume, 0, 1000));
}

void MusicController::ToggleMute() {
    const char* folder = m_bMuted ? "images/play/volume_" : "images/left/player/jingyin_";
    const char* number = m_bMuted ? "32.png" : "31.png";
    if (controls_.mute != nullptr) {
        const std::string stem = folder;
        controls_.mute->SetImages(stem + "normal_" + number, stem + "over_" + number,
                                  stem + "press_" + number);
    }
    if (m_bMuted) {
        if (controls_.volume != nullptr) {
            controls_.volume->SetPos(m_nVolume);
        }
        player_.SetVolume(std::clamp(m_nVolume, 0, 1000));
    } else {
        if (controls_.volume != nullptr) {
            controls_.volume->SetPos(0);
        }
        player_.SetVolume(0);
    }
    m_bMuted = !m_bMuted;
}

void MusicController::SetSongTags(SongTagCache* tags) {
    tags_ = tags;
    // A title read after the song started replaces its file name.
    connect(tags_, &SongTagCache::TagsRead, this, [this] {
        if (m_nPlayState != PlayStopped && !m_strSongPath.empty()) {
            ShowTitle();
        }
    });
}

const SongTags* MusicController::SongTagsOfPlaying() const {
    return tags_ != nullptr && !m_strSongPath.empty() ? tags_->Find(m_strSongPath) : nullptr;
}

void MusicController::ShowTitle() {
    if (controls_.title != nullptr) {
        controls_.title->setText(
            QString::fromStdString(ShownSongName(m_strSongPath, SongTagsOfPlaying())));
    }
}

void MusicController::RestoreSound(int volume, bool muted) {
    m_nVolume = std::clamp(volume, 0, 1000);
    if (controls_.volume != nullptr) {
        controls_.volume->SetPos(m_nVolume);
    }
    player_.SetVolume(m_nVolume);
    if (muted != m_bMuted) {
        ToggleMute();
    }
}

void MusicController::StopForExit() {
    progressTimer_.stop();
    player_.StopAtStart();
    player_.Close();
}

void MusicController::SongClicked(int row) {
    const PlaylistModel::RowContent content = model_.Row(row);
    if (!model_.m_bPlaylistMode || content.list == nullptr || content.song < 0) {
        return;
    }
    const std::string list = *content.list;
    const int index = content.song;
    const std::string path = model_.GetItemText(list, index);
    pausedByPress_.reset();
    switch (model_.GetItemState(list, index)) {
        case ItemPlaying:
            model_.MarkSelected(index, path, list);
            model_.SetItemState(list, index, ItemSelected);
            model_.m_strCurPath = path;
            PlayerCommand(path, PlayerPause);
            pausedByPress_ = row;
            break;
        case ItemSelected:
            if (path == model_.m_strCurPath && model_.Playing().set &&
                list == model_.Playing().list) {
                PlayerCommand(path, PlayerResume);
                model_.SetItemState(list, index, ItemPlaying);
            }
            break;
        default:
            model_.MarkSelected(index, path, list);
            model_.SetItemState(list, index, ItemSelected);
            break;
    }
}

void MusicController::SongDoubleClicked(int row) {
    const PlaylistModel::RowContent content = model_.Row(row);
    if (!model_.m_bPlaylistMode || content.list == nullptr || content.song < 0) {
        return;
    }
    const std::string list = *content.list;
    // The double click's first press paused the playing song: it plays on, as it was.
    const bool pausedByFirstPress = pausedByPress_ == row;
    pausedByPress_.reset();
    if (pausedByFirstPress && model_.GetItemState(list, content.song) == ItemSelected) {
        model_.SetItemState(list, content.song, ItemPlaying);
        PlayerCommand(std::nullopt, PlayerResume);
        return;
    }
    if (model_.GetItemState(list, content.song) == ItemPlaying) {
        return;
    }
    const int index = model_.FirstExisting(list, content.song, 1);
    if (index < 0) {
        StopAndForget();
        return;
    }
    const std::string path = model_.GetItemText(list, index);
    model_.m_strCurPath = path;
    model_.MarkPlaying(index, path, list);
    PlayerCommand(path, PlayerPlay);
    model_.SetItemState(list, index, ItemPlaying);
}

void MusicController::PlaySongAt(int row) {
    const PlaylistModel::RowContent content = model_.Row(row);
    if (content.list == nullptr || content.song < 0) {
        return;
    }
    const std::string list = *content.list;
    const int index = model_.FirstExisting(list, content.song, 1);
    if (index < 0) {
        model_.SetItemState(list, content.song, ItemNormal);
        StopAndForget();
        return;
    }
    // The song found, which is the clicked one unless its file has gone.
    const std::string path = model_.GetItemText(list, index);
    model_.MarkPlaying(index, path, list);
    model_.MarkSelected(index, path, list);
    model_.SetItemState(list, index, ItemPlaying);
    PlayerCommand(path, PlayerPlay);
}

void MusicController::RemoveSongAt(int row) {
    const PlaylistModel::RowContent content = model_.Row(row);
    if (content.list != nullptr && content.song >= 0) {
        const SongMarker playing = model_.Playing();
        if (playing.set && playing.list == *content.list && playing.index == content.song) {
            const SongMarker selected = model_.Selected();
            if (selected.set && selected.list == playing.list && selected.index == playing.index) {
                model_.ClearSelected();
            }
            model_.ClearPlaying();
            PlayerCommand(std::nullopt, PlayerStop);
        }
    }
    model_.RemoveRow(row);
}

}  // namespace zavreo
