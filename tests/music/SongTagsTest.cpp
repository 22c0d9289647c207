#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <algorithm>
#include <fstream>

#include "AudioPlayer.h"
#include "InstalledAudioTypes.h"
#include "SongFiles.h"
#include "SongTagCache.h"
#include "SongTagReader.h"

using namespace zavreo;

namespace {

// Songs in every kind the player must take, tagged as each container keeps tags.
class TaggedSongs : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new QTemporaryDir;
        const struct {
            const char* name;
            const char* codec;
        } kinds[] = {{"a.mp3", "libmp3lame"}, {"a.wma", "wmav2"},    {"a.flac", "flac"},
                     {"a.ogg", "libvorbis"},  {"a.opus", "libopus"}, {"a.m4a", "aac"},
                     {"a.wav", "pcm_s16le"}};
        for (const auto& kind : kinds) {
            ASSERT_TRUE(testsongs::MakeTaggedSong(Song(kind.name), 1, kind.codec,
                                                  {{"title", "晴天"}, {"artist", "周杰伦"}}))
                << kind.name;
        }
        ASSERT_TRUE(testsongs::MakeSong(Song("untagged.mp3"), 1, "libmp3lame"));
        // An old song with only an ID3v1 tag, its title in GBK: "夜曲" by "Jay".
        ASSERT_TRUE(testsongs::MakeSong(Song("v1.mp3"), 1, "libmp3lame"));
        std::string tag(128, '\0');
        tag.replace(0, 3, "TAG");
        tag.replace(3, 4, "\xD2\xB9\xC7\xFA");
        tag.replace(33, 3, "Jay");
        std::ofstream(Song("v1.mp3"), std::ios::binary | std::ios::app) << tag;
    }
    static void TearDownTestSuite() { delete dir_; }
    static std::string Song(const char* name) { return dir_->path().toStdString() + "/" + name; }

    static QTemporaryDir* dir_;
};
QTemporaryDir* TaggedSongs::dir_ = nullptr;

}  // namespace

TEST_F(TaggedSongs, TheAddDialogOffersEveryKindTheInstalledGStreamerPlays) {
    const std::vector<std::string>& extensions = InstalledAudioExtensions();
    for (const char* wanted : {"mp3", "wma", "flac", "ogg", "opus", "m4a", "wav"}) {
        EXPECT_NE(std::find(extensions.begin(), extensions.end(), wanted), extensions.end())
            << wanted;
    }
    // Each of them really plays to its end.
    for (const char* name : {"a.flac", "a.ogg", "a.opus", "a.m4a", "a.wav"}) {
        AudioPlayer player("fakesink sync=false");
        bool ended = false;
        QObject::connect(&player, &AudioPlayer::EndOfStream, [&] { ended = true; });
        ASSERT_TRUE(player.OpenAndPlay(Song(name)));
        QElapsedTimer clock;
        clock.start();
        while (!ended && player.IsOpen() && clock.elapsed() < 8000) {
            QApplication::processEvents(QEventLoop::AllEvents, 10);
        }
        EXPECT_TRUE(ended) << name;
    }
}

TEST_F(TaggedSongs, TitlesAndArtistsComeFromEveryKindOfTag) {
    SongTagReader reader;
    for (const char* name : {"a.mp3", "a.wma", "a.flac", "a.ogg", "a.opus", "a.m4a"}) {
        EXPECT_EQ(reader.Read(Song(name)), (SongTags{"晴天", "周杰伦"})) << name;
    }
    EXPECT_EQ(reader.Read(Song("v1.mp3")), (SongTags{"夜曲", "Jay"}));
    EXPECT_EQ(reader.Read(Song("untagged.mp3")), (SongTags{}));
    std::ofstream(Song("broken.mp3")) << "not a song";
    EXPECT_FALSE(reader.Read(Song("broken.mp3")));
    EXPECT_FALSE(reader.Read(Song("missing.flac")));
}

TEST_F(TaggedSongs, TheCacheReadsInTheBackgroundAndAsksTheWantedFirst) {
    SongTagCache cache;
    QSignalSpy read(&cache, &SongTagCache::TagsRead);
    std::vector<std::string> later;
    for (const char* name : {"a.wma", "a.flac", "a.ogg", "a.opus", "untagged.mp3"}) {
        later.push_back(Song(name));
    }
    cache.WantLater(later);
    cache.Want(Song("a.m4a"));
    EXPECT_EQ(cache.Find(Song("a.m4a")), nullptr) << "read on the worker, not on the way";
    QElapsedTimer clock;
    clock.start();
    while (!cache.Known(Song("untagged.mp3")) && clock.elapsed() < 20000) {
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    for (const char* name : {"a.m4a", "a.wma", "a.flac", "a.ogg", "a.opus"}) {
        ASSERT_NE(cache.Find(Song(name)), nullptr) << name;
        EXPECT_EQ(*cache.Find(Song(name)), (SongTags{"晴天", "周杰伦"}));
    }
    // Read, without a title or artist: the file name stands.
    EXPECT_TRUE(cache.Known(Song("untagged.mp3")));
    EXPECT_EQ(cache.Find(Song("untagged.mp3")), nullptr);
    EXPECT_TRUE(read.wait(1000) || !read.isEmpty());
    // Signals are gathered: six files do not give six repaints.
    EXPECT_LT(read.size(), 6);
}
