#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QTemporaryDir>
#include <QTimer>
#include <fstream>

#include "AudioPlayer.h"
#include "CBitmapSlider.h"
#include "CPngButton.h"
#include "MusicController.h"
#include "SongFiles.h"
#include "SongTagCache.h"

using namespace zavreo;

namespace {

template <typename Predicate>
bool SpinUntil(Predicate done, int timeoutMs = 8000) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < timeoutMs) {
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return done();
}

void Spin(int ms) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms) {
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    }
}

constexpr char kSink[] = "fakesink sync=true";

// Songs made once for the whole suite: two long ones and three short ones.
class Songs : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new QTemporaryDir;
        const std::filesystem::path folder = dir_->path().toStdString();
        ASSERT_TRUE(testsongs::MakeSong(folder / "long.mp3", 4, "libmp3lame"));
        ASSERT_TRUE(testsongs::MakeSong(folder / "long.wma", 4, "wmav2"));
        for (const char* name : {"s0.mp3", "s1.wma", "s2.mp3"}) {
            ASSERT_TRUE(testsongs::MakeSong(folder / name, 1.5, "libmp3lame"));
        }
    }
    static void TearDownTestSuite() { delete dir_; }
    static std::string Song(const char* name) { return dir_->path().toStdString() + "/" + name; }

    static QTemporaryDir* dir_;
};
QTemporaryDir* Songs::dir_ = nullptr;

}  // namespace

TEST_F(Songs, PlayerPlaysSeeksAndPausesMp3AndWma) {
    for (const char* name : {"long.mp3", "long.wma"}) {
        SCOPED_TRACE(name);
        AudioPlayer player(kSink);
        ASSERT_TRUE(player.OpenAndPlay(Song(name)));
        ASSERT_TRUE(SpinUntil([&] { return player.PositionMs() > 300; }));
        EXPECT_NEAR(player.LengthMs(), 4000, 100);

        player.Pause();
        Spin(150);
        const int64_t held = player.PositionMs();
        Spin(400);
        EXPECT_NEAR(player.PositionMs(), held, 30);

        player.SeekAndPlay(2500);
        ASSERT_TRUE(SpinUntil([&] { return player.PositionMs() >= 2400; }));
        EXPECT_LT(player.PositionMs(), 2600);
        const int64_t landed = player.PositionMs();
        ASSERT_TRUE(SpinUntil([&] { return player.PositionMs() > landed + 200; }));

        player.StopAtStart();
        Spin(100);
        EXPECT_LT(player.PositionMs(), 100);
        EXPECT_TRUE(player.IsOpen());
        player.Close();
        EXPECT_EQ(player.PositionMs(), 0);
        EXPECT_EQ(player.LengthMs(), 0);
    }
}

TEST_F(Songs, PlayerReportsTheEndAndFilesItCannotPlay) {
    AudioPlayer player(kSink);
    int ended = 0;
    int failed = 0;
    QObject::connect(&player, &AudioPlayer::EndOfStream, [&] { ++ended; });
    QObject::connect(&player, &AudioPlayer::Failed, [&] { ++failed; });
    ASSERT_TRUE(player.OpenAndPlay(Song("s0.mp3")));
    EXPECT_TRUE(SpinUntil([&] { return ended == 1; }));

    // A file that does not decode fails once it is read; a missing one at once or then.
    const std::string broken = dir_->path().toStdString() + "/broken.mp3";
    std::ofstream(broken) << "not a song at all";
    ASSERT_TRUE(player.OpenAndPlay(broken));
    EXPECT_TRUE(SpinUntil([&] { return !player.IsOpen(); }));
    EXPECT_EQ(failed, 1);
    if (player.OpenAndPlay(Song("missing.mp3"))) {
        EXPECT_TRUE(SpinUntil([&] { return failed == 2; }));
    }
    EXPECT_FALSE(player.IsOpen());
    EXPECT_FALSE(player.OpenAndPlay(""));
    EXPECT_EQ(ended, 1);
}

TEST(AudioPlayer, VolumeFollowsTheEar) {
    EXPECT_DOUBLE_EQ(AudioPlayer::LinearVolume(0), 0.0);
    EXPECT_DOUBLE_EQ(AudioPlayer::LinearVolume(1000), 1.0);
    EXPECT_NEAR(AudioPlayer::LinearVolume(500), 0.125, 1e-9);
    EXPECT_DOUBLE_EQ(AudioPlayer::LinearVolume(2000), 1.0);
    EXPECT_DOUBLE_EQ(AudioPlayer::LinearVolume(-5), 0.0);
}

TEST(FormatClock, MinutesAndSecondsOfAtLeastTwoDigits) {
    EXPECT_EQ(FormatClock(0), "00:00");
    EXPECT_EQ(FormatClock(187), "03:07");
    EXPECT_EQ(FormatClock(7509), "125:09");
}

namespace {

// A controller on real controls and timers, with one list of the short songs.
class ControllerTest : public Songs {
protected:
    void SetUp() override {
        model_.AddCategory(kDefaultListName);
        for (const char* name : {"s0.mp3", "s1.wma", "s2.mp3"}) {
            model_.AddItem("l", Song(name));
        }
        model_.m_bPlaylistMode = true;
        model_.SetCategoryOpen("l", true);
        volume_.SetRange(0, 1000);
        volume_.SetPos(500);
        QObject::connect(&music_, &MusicController::SongOpened,
                         [this](const std::string& path) { opened_.push_back(path); });
    }
    void Play(int index) {
        model_.MarkPlaying(index,
                           Song(index == 1   ? "s1.wma"
                                : index == 0 ? "s0.mp3"
                                             : "s2.mp3"),
                           "l");
        music_.PlayerCommand(model_.GetItemText("l", index), PlayerPlay);
    }

    PlaylistModel model_{[this] { music_.PlayerCommand(std::nullopt, PlayerStop); }};
    CPngButton play_, mute_;
    CBitmapSlider progress_{nullptr, 1000}, volume_{nullptr, 1007};
    QLabel time_, title_;
    QTimer progressTimer_, lyricTimer_;
    MusicController music_{model_,
                           PlayerControls{&play_, &mute_, &progress_, &volume_, &time_, &title_},
                           progressTimer_, lyricTimer_, kSink};
    std::vector<std::string> opened_;
};

}  // namespace

TEST_F(ControllerTest, ListLoopWrapsAroundBothWaysAndSkipsMissingFiles) {
    Play(2);
    music_.PlayNext(true);
    EXPECT_EQ(model_.Playing().index, 0);
    EXPECT_EQ(model_.GetItemState("l", 0), ItemPlaying);
    EXPECT_EQ(model_.GetItemState("l", 2), ItemNormal);
    music_.PlayPrevious(true);
    EXPECT_EQ(model_.Playing().index, 2);
    EXPECT_EQ(music_.SongPath(), Song("s2.mp3"));
    EXPECT_EQ(title_.text(), "s2");

    model_.AddItem("l", Song("gone.mp3"));
    model_.AddItem("l", Song("s1.wma"));
    music_.PlayNext(true);  // past the missing fourth song
    EXPECT_EQ(model_.Playing().index, 4);
    music_.PlayPrevious(true);
    EXPECT_EQ(model_.Playing().index, 2);
}

TEST_F(ControllerTest, RandomNeverRepeatsThePlayingSong) {
    Play(1);
    for (int i = 0; i < 20; ++i) {
        const int before = model_.Playing().index;
        music_.PlayNext(false);
        ASSERT_NE(model_.Playing().index, before);
    }
    EXPECT_EQ(opened_.size(), 21u);
}

TEST_F(ControllerTest, TheEndOfASongAdvancesByItselfInListLoop) {
    Play(0);
    ASSERT_TRUE(SpinUntil([&] { return opened_.size() >= 2; }));
    EXPECT_EQ(opened_[1], Song("s1.wma"));
    EXPECT_EQ(model_.Playing().index, 1);
    EXPECT_TRUE(music_.IsPlaying());
}

TEST_F(ControllerTest, SingleOnceStopsAndSingleLoopRepeatsOrTakesTheSelectedSong) {
    music_.SetPlayMode(ModeSingleOnce);
    EXPECT_EQ(model_.m_nModeMark, ModeSingleOnce);
    Play(0);
    lyricTimer_.start(100);  // as the song's lyrics do
    ASSERT_TRUE(SpinUntil([&] { return music_.PlayStateValue() == PlayStopped; }));
    EXPECT_EQ(title_.text().toStdString(), kIdleTitle);
    EXPECT_EQ(time_.text().toStdString(), kIdleTime);
    EXPECT_FALSE(progressTimer_.isActive());
    EXPECT_FALSE(lyricTimer_.isActive());
    EXPECT_EQ(opened_.size(), 1u);

    music_.SetPlayMode(ModeSingleLoop);
    model_.MarkSelected(0, Song("s0.mp3"), "l");
    Play(0);
    ASSERT_TRUE(SpinUntil([&] { return opened_.size() >= 3; }));
    EXPECT_EQ(opened_[2], Song("s0.mp3"));
    // Another song clicked meanwhile follows instead.
    music_.SongClicked(4);
    EXPECT_EQ(model_.Selected().index, 2);
    ASSERT_TRUE(SpinUntil([&] { return opened_.size() >= 4; }));
    EXPECT_EQ(opened_[3], Song("s2.mp3"));
    EXPECT_EQ(model_.Playing().index, 2);
}

TEST_F(ControllerTest, AListWithoutAnyFileLeftStopsAndForgetsItsMarkers) {
    const QTemporaryDir gone;
    PlaylistModel& model = model_;
    model.AddItem("g", gone.path().toStdString() + "/a.mp3");
    model.AddItem("g", gone.path().toStdString() + "/b.mp3");
    model.SetCategoryOpen("g", true);
    model.MarkPlaying(0, model.GetItemText("g", 0), "g");
    model.MarkSelected(1, model.GetItemText("g", 1), "g");
    music_.PlayerCommand(model.GetItemText("g", 0), PlayerPlay);
    music_.PlayNext(true);
    EXPECT_EQ(music_.PlayStateValue(), PlayStopped);
    EXPECT_FALSE(model.Playing().set);
    EXPECT_FALSE(model.Selected().set);
    // Previous and next with nothing playing do nothing.
    music_.PlayNext(true);
    music_.PlayPrevious(true);
    EXPECT_EQ(opened_.size(), 1u);
}

TEST_F(ControllerTest, PlayWithNothingChosenTakesTheDefaultListsFirstExistingSong) {
    music_.TogglePlay();
    EXPECT_TRUE(opened_.empty());
    model_.AddItem(kDefaultListName, Song("missing.mp3"));
    model_.AddItem(kDefaultListName, Song("s2.mp3"));
    music_.TogglePlay();
    ASSERT_EQ(opened_.size(), 1u);
    EXPECT_EQ(opened_[0], Song("s2.mp3"));
    EXPECT_EQ(model_.Playing().list, kDefaultListName);
    EXPECT_EQ(model_.Selected().index, 1);
    EXPECT_TRUE(progressTimer_.isActive());

    // Play/pause/resume on the same song.
    music_.TogglePlay();
    EXPECT_EQ(music_.PlayStateValue(), PlayPaused);
    EXPECT_EQ(model_.GetItemState(kDefaultListName, 1), ItemSelected);
    EXPECT_TRUE(progressTimer_.isActive());
    music_.TogglePlay();
    EXPECT_EQ(music_.PlayStateValue(), PlayPlaying);
    EXPECT_TRUE(lyricTimer_.isActive());
    EXPECT_EQ(model_.GetItemState(kDefaultListName, 1), ItemPlaying);
}

TEST_F(ControllerTest, ClicksPauseResumeAndDoubleClicksPlay) {
    // Rows: default header, l header, l/0, l/1, l/2.
    music_.SongClicked(2);
    EXPECT_EQ(model_.GetItemState("l", 0), ItemSelected);
    music_.SongDoubleClicked(2);
    EXPECT_EQ(model_.GetItemState("l", 0), ItemPlaying);
    EXPECT_EQ(opened_.size(), 1u);
    music_.SongDoubleClicked(2);
    EXPECT_EQ(opened_.size(), 1u);
    // A double click on the playing song arrives after its first press paused it: the song
    // plays on and is not started again.
    music_.SongClicked(2);
    music_.SongDoubleClicked(2);
    EXPECT_EQ(opened_.size(), 1u);
    EXPECT_EQ(music_.PlayStateValue(), PlayPlaying);
    EXPECT_EQ(model_.GetItemState("l", 0), ItemPlaying);
    EXPECT_TRUE(lyricTimer_.isActive());

    music_.SongClicked(2);
    EXPECT_EQ(music_.PlayStateValue(), PlayPaused);
    EXPECT_EQ(model_.GetItemState("l", 0), ItemSelected);
    music_.SongClicked(2);
    EXPECT_EQ(music_.PlayStateValue(), PlayPlaying);
    EXPECT_EQ(model_.GetItemState("l", 0), ItemPlaying);

    // Removing the playing song stops; removing one above the next playing keeps its marker.
    music_.PlaySongAt(4);
    EXPECT_EQ(model_.Playing().index, 2);
    music_.RemoveSongAt(2);
    EXPECT_EQ(model_.Playing().index, 1);
    EXPECT_EQ(model_.GetItemText("l", 1), Song("s2.mp3"));
    music_.RemoveSongAt(3);
    EXPECT_FALSE(model_.Playing().set);
    EXPECT_EQ(music_.PlayStateValue(), PlayStopped);
}

TEST_F(ControllerTest, MuteKeepsTheVolumeAndTheSliderMakesItAudibleAgain) {
    music_.SetVolume(800);
    EXPECT_EQ(music_.Player().Volume(), 800);
    music_.ToggleMute();
    EXPECT_TRUE(music_.Muted());
    EXPECT_EQ(volume_.GetPos(), 0);
    EXPECT_EQ(music_.Player().Volume(), 0);
    EXPECT_EQ(music_.Volume(), 800);
    music_.SetVolume(300);
    EXPECT_EQ(music_.Player().Volume(), 300);
    EXPECT_TRUE(music_.Muted());
    music_.ToggleMute();
    EXPECT_EQ(volume_.GetPos(), 300);
    EXPECT_EQ(music_.Player().Volume(), 300);
    music_.SetVolume(-20);
    EXPECT_EQ(music_.Volume(), 0);
}

TEST_F(ControllerTest, RestoredSoundSetsTheSliderThePlayerAndTheMuteSwitch) {
    music_.RestoreSound(910, false);
    EXPECT_EQ(music_.Volume(), 910);
    EXPECT_EQ(volume_.GetPos(), 910);
    EXPECT_EQ(music_.Player().Volume(), 910);
    EXPECT_FALSE(music_.Muted());
    // Muted: silent and the slider down, the volume kept for un-muting.
    music_.RestoreSound(640, true);
    EXPECT_TRUE(music_.Muted());
    EXPECT_EQ(volume_.GetPos(), 0);
    EXPECT_EQ(music_.Player().Volume(), 0);
    EXPECT_EQ(music_.Volume(), 640);
    music_.ToggleMute();
    EXPECT_EQ(volume_.GetPos(), 640);
    EXPECT_EQ(music_.Player().Volume(), 640);
    // Whatever the switch was, it ends as restored.
    music_.RestoreSound(700, true);
    music_.RestoreSound(700, true);
    EXPECT_TRUE(music_.Muted());
    music_.RestoreSound(300, false);
    EXPECT_FALSE(music_.Muted());
    EXPECT_EQ(volume_.GetPos(), 300);
    EXPECT_EQ(music_.Player().Volume(), 300);
}

TEST_F(ControllerTest, TheTitleLineNamesTheSongByItsTagsOnceRead) {
    const std::string tagged = dir_->path().toStdString() + "/tagged.flac";
    ASSERT_TRUE(
        testsongs::MakeTaggedSong(tagged, 3, "flac", {{"title", "夜曲"}, {"artist", "周杰伦"}}));
    SongTagCache tags;
    music_.SetSongTags(&tags);
    model_.AddItem("l", tagged);
    model_.MarkPlaying(3, tagged, "l");
    music_.PlayerCommand(tagged, PlayerPlay);
    // The file's name until the tags are read, which does not hold up the start.
    EXPECT_EQ(title_.text(), "tagged");
    ASSERT_TRUE(SpinUntil([&] { return title_.text() == "周杰伦 - 夜曲"; }));
    ASSERT_NE(music_.SongTagsOfPlaying(), nullptr);
    EXPECT_EQ(music_.SongTagsOfPlaying()->title, "夜曲");
    // An untagged song keeps its file name.
    Play(0);
    EXPECT_EQ(title_.text(), "s0");
    SpinUntil([&] { return tags.Known(Song("s0.mp3")); });
    EXPECT_EQ(title_.text(), "s0");
    music_.PlayerCommand(std::nullopt, PlayerStop);
    EXPECT_EQ(title_.text(), QString::fromUtf8(kIdleTitle));
}

TEST_F(ControllerTest, ASongThatCannotBePlayedEndsAtTheNextTick) {
    const std::string broken = dir_->path().toStdString() + "/undecodable.mp3";
    std::ofstream(broken) << "not a song at all";
    model_.AddItem("l", broken);
    model_.MarkPlaying(3, broken, "l");
    music_.PlayerCommand(broken, PlayerPlay);
    ASSERT_TRUE(SpinUntil([&] { return !music_.Player().IsOpen(); }));
    // Still the broken song until the timer looks.
    EXPECT_EQ(opened_.size(), 1u);
    ASSERT_TRUE(SpinUntil([&] { return opened_.size() == 2; }, 3000));
    EXPECT_EQ(opened_[1], Song("s0.mp3"));
}
