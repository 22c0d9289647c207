#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "AudioFileTypes.h"
#include "PlaylistModel.h"
#include "SongSearch.h"
#include "SongTags.h"

using namespace zavreo;

namespace {

class SongSearchTest : public ::testing::Test {
protected:
    void SetUp() override {
        // "翻唱" sorts before "默认列表" by its bytes but stands below it in the view.
        model_.AddCategory(kDefaultListName);
        model_.AddItem(kDefaultListName, "/music/Yesterday.mp3");
        model_.AddItem(kDefaultListName, "/music/track01.flac");
        model_.AddItem(kDefaultListName, "/music/ＱＩＮＧ ＴＩＡＮ.mp3");
        model_.AddItem("翻唱", "/covers/晴天 live.ogg");
        model_.AddItem("翻唱", "/covers/track02.opus");
        tags_["/music/track01.flac"] = {"晴天", "周杰伦"};
        tags_["/covers/track02.opus"] = {"Sunny Day", "Jay CHOU"};
    }
    std::optional<SongSearch::Match> Next(std::string_view query) {
        return search_.Next(model_, query, [this](const std::string& path) -> const SongTags* {
            const auto found = tags_.find(path);
            return found == tags_.end() ? nullptr : &found->second;
        });
    }

    PlaylistModel model_;
    std::map<std::string, SongTags> tags_;
    SongSearch search_;
};

using Match = SongSearch::Match;

}  // namespace

TEST_F(SongSearchTest, FindsTitlesArtistsAndFileNamesWhateverTheCaseAndWidth) {
    EXPECT_EQ(Next("yesterday"), (Match{kDefaultListName, 0}));
    // A title and an artist from the tags, where the file names say nothing.
    EXPECT_EQ(Next("sunny"), (Match{"翻唱", 1}));
    EXPECT_EQ(Next("jay chou"), (Match{"翻唱", 1}));
    EXPECT_EQ(Next("ＪＡＹ"), (Match{"翻唱", 1}));
    // Full-width letters in the file name match half-width ones typed, and the reverse.
    EXPECT_EQ(Next("qing"), (Match{kDefaultListName, 2}));
    EXPECT_EQ(Next("ｔｒａｃｋ０２"), (Match{"翻唱", 1}));
    // Every word must be found, each in any field.
    EXPECT_EQ(Next("周杰伦 晴天"), (Match{kDefaultListName, 1}));
    EXPECT_FALSE(Next("周杰伦 yesterday"));
    EXPECT_FALSE(Next("月亮代表我的心"));
    EXPECT_FALSE(Next("   "));
    EXPECT_FALSE(Next(""));
    // Not across two fields, nor in the folders or the extension.
    EXPECT_FALSE(Next("伦晴"));
    EXPECT_FALSE(Next("covers"));
    EXPECT_FALSE(Next("flac"));
}

TEST_F(SongSearchTest, TheSameQueryGoesOnToTheNextMatchAndRoundAgain) {
    model_.AddItem("翻唱", "/covers/other.mp3");
    model_.AddItem("翻唱", "/covers/track03.mp3");
    // 晴天: the flac's title, then the ogg's file name in the list below.
    EXPECT_EQ(Next("晴天"), (Match{kDefaultListName, 1}));
    EXPECT_EQ(Next("晴天"), (Match{"翻唱", 0}));
    EXPECT_EQ(Next(" 晴天 "), (Match{kDefaultListName, 1})) << "after the last, the first";
    // Another query starts from the top again.
    EXPECT_EQ(Next("track"), (Match{kDefaultListName, 1}));
    EXPECT_EQ(Next("track"), (Match{"翻唱", 1}));
    EXPECT_EQ(Next("track"), (Match{"翻唱", 3})) << "past a song that does not match";
    EXPECT_EQ(Next("track"), (Match{kDefaultListName, 1}));
    EXPECT_EQ(Next("晴天"), (Match{kDefaultListName, 1}));
    // A single match is found every time.
    EXPECT_EQ(Next("yesterday"), (Match{kDefaultListName, 0}));
    EXPECT_EQ(Next("yesterday"), (Match{kDefaultListName, 0}));
    // The last match gone: the search goes on from where it stood.
    EXPECT_EQ(Next("晴天"), (Match{kDefaultListName, 1}));
    model_.RemoveItem(kDefaultListName, 1);
    EXPECT_EQ(Next("晴天"), (Match{"翻唱", 0}));
    model_.RemoveCategory("翻唱");
    EXPECT_FALSE(Next("晴天"));
}

TEST(SongNames, TagsNameTheSongTheFileNameOtherwise) {
    const SongTags both{"晴天", "周杰伦"};
    const SongTags titleOnly{" Yesterday\n", ""};
    const SongTags artistOnly{"", "周杰伦"};
    EXPECT_EQ(ShownSongName("/m/01.mp3", &both), "周杰伦 - 晴天");
    EXPECT_EQ(ShownSongName("/m/01.mp3", &titleOnly), "Yesterday");
    EXPECT_EQ(ShownSongName("/m/01.mp3", &artistOnly), "01");
    EXPECT_EQ(ShownSongName("/m/夜曲.flac", nullptr), "夜曲");
}

TEST(AudioFileTypes, OffersTheFormatsThePlayerCanOpenAndDecode) {
    const std::vector<AudioFormat> formats = {{"mp3", nullptr, "mpeg"},
                                              {"flac", "flac-parse", "flac"},
                                              {"opus", "ogg", "opus"},
                                              {"wav", "wav", nullptr},
                                              {"ape", "ape", nullptr}};
    const auto has = [](std::vector<std::string> caps) {
        return [caps](const char* wanted) {
            return std::find(caps.begin(), caps.end(), wanted) != caps.end();
        };
    };
    // No ogg demuxer: no opus; no ape demuxer: no ape. MP3 and WMA always.
    EXPECT_EQ(PlayableExtensions(formats, has({"flac-parse", "wav"}), has({"flac", "opus"})),
              (std::vector<std::string>{"mp3", "wma", "flac", "wav"}));
    EXPECT_EQ(AudioFileFilter({"mp3", "wma", "flac"}), "Music Files (*.mp3 *.wma *.flac)");
    // Every format the program knows is a lower-case extension, listed once.
    std::vector<std::string> seen;
    for (const AudioFormat& format : KnownAudioFormats()) {
        const std::string extension = format.extension;
        EXPECT_EQ(std::count(seen.begin(), seen.end(), extension), 0) << extension;
        EXPECT_TRUE(std::all_of(extension.begin(), extension.end(),
                                [](char c) { return std::islower(c) || std::isdigit(c); }));
        seen.push_back(extension);
    }
}

TEST(AudioFileTypes, FolderSongsEndInTheirExtensionAsWritten) {
    const std::vector<std::string> extensions = {"mp3", "wma", "flac", "m4a"};
    for (const char* name : {"a.mp3", "amp3", "b.wma", "c.flac", "d.e.m4a"}) {
        EXPECT_TRUE(IsSongFileName(name, extensions)) << name;
    }
    for (const char* name : {"a.MP3", "c.FLAC", "cflac", ".flac", "d.m4a.txt", "e.ogg", "f"}) {
        EXPECT_FALSE(IsSongFileName(name, extensions)) << name;
    }
}
