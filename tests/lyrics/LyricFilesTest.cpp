#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#include "LyricClient.h"
#include "LyricFiles.h"
#include "LyricSearchStatus.h"
#include "Lyricsd.h"

using namespace zavreo;

namespace {

class LyricFilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/zavreo-lyricfiles-XXXXXX";
        root_ = mkdtemp(pattern);
        std::filesystem::create_directories(root_ / "Lyrics");
        std::filesystem::create_directories(root_ / "歌曲");
    }
    void TearDown() override { std::filesystem::remove_all(root_); }
    std::filesystem::path Touch(const std::filesystem::path& relative) {
        std::ofstream(root_ / relative) << "[00:01.00]x\n";
        return root_ / relative;
    }
    std::string Song(const std::string& name) { return (root_ / "歌曲" / name).string(); }
    std::filesystem::path FolderFile(const std::string& song) {
        return LyricsFolderFile(root_ / "Lyrics", Song(song));
    }

    std::filesystem::path root_;
};

}  // namespace

TEST_F(LyricFilesTest, TheLyricsFolderFirstThenBesideTheSongInAnyLetterCase) {
    EXPECT_EQ(FolderFile("晴天.mp3"), root_ / "Lyrics" / "晴天.lrc");
    EXPECT_EQ(FolderFile("夜曲.flac"), root_ / "Lyrics" / "夜曲.lrc");
    EXPECT_FALSE(FindLyricFile(FolderFile("晴天.mp3"), Song("晴天.mp3")));

    const std::filesystem::path beside = Touch("歌曲/晴天.LRC");
    EXPECT_EQ(FindLyricFile(FolderFile("晴天.mp3"), Song("晴天.mp3")), beside);
    // Of two spellings beside the song, the same one every time; the usual one first.
    Touch("歌曲/晴天.Lrc");
    EXPECT_EQ(LyricFileBesideSong(Song("晴天.mp3")), beside);
    EXPECT_EQ(LyricFileBesideSong(Song("晴天.mp3")), beside);
    const std::filesystem::path usual = Touch("歌曲/晴天.lrc");
    EXPECT_EQ(LyricFileBesideSong(Song("晴天.mp3")), usual);
    // The lyrics folder's file wins: downloaded or chosen lyrics replace the ones beside.
    const std::filesystem::path folder = Touch("Lyrics/晴天.lrc");
    EXPECT_EQ(FindLyricFile(FolderFile("晴天.mp3"), Song("晴天.mp3")), folder);

    // Only the same name with the lrc extension, and only files.
    Touch("歌曲/晴天 live.lrc");
    Touch("歌曲/夜曲.lrc.txt");
    Touch("歌曲/夜曲.lr");
    std::filesystem::create_directories(root_ / "歌曲" / "夜曲.lrc");
    EXPECT_FALSE(LyricFileBesideSong(Song("夜曲.mp3")));
    EXPECT_FALSE(LyricFileBesideSong(Song("晴天 live 2.mp3")));
    EXPECT_FALSE(LyricFileBesideSong((root_ / "missing folder" / "a.mp3").string()));
    EXPECT_FALSE(LyricFileBesideSong(""));
}

TEST(LyricSearchStatus, SaysWhatTheSearchCameTo) {
    EXPECT_EQ(StateOfReply(std::nullopt, 0), LyricSearchState::kNoAnswer);
    EXPECT_EQ(StateOfReply(Json::Value("text"), 0), LyricSearchState::kNoAnswer);
    Json::Value notFound;
    notFound["status"] = 404;
    EXPECT_EQ(StateOfReply(notFound, 0), LyricSearchState::kNothingFound);
    Json::Value some;
    some["status"] = 200;
    EXPECT_EQ(StateOfReply(some, 0), LyricSearchState::kNothingFound);
    EXPECT_EQ(StateOfReply(some, 3), LyricSearchState::kFound);
    EXPECT_EQ(LyricSearchStatusText(LyricSearchState::kFound, 3), "找到 3 个结果，选中后点“使用”");
    EXPECT_EQ(LyricSearchStatusText(LyricSearchState::kSaved, 0, "/home/u/Lyrics/晴天.lrc"),
              "歌词已保存到 /home/u/Lyrics/晴天.lrc");
    EXPECT_EQ(LyricSearchStatusText(LyricSearchState::kIdle), "");
    for (const LyricSearchState state :
         {LyricSearchState::kSearching, LyricSearchState::kNothingFound,
          LyricSearchState::kNoAnswer, LyricSearchState::kNoSong}) {
        EXPECT_FALSE(LyricSearchStatusText(state).empty());
    }
}

TEST(LyricSearchStatus, TheSearchGivesUpOnASilentServerAfterItsFewSeconds) {
    SilentServer server;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(QueryLyrics("t", "a", nullptr, 1));
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, std::chrono::milliseconds(900));
    EXPECT_LT(waited, std::chrono::seconds(4));
    EXPECT_LE(kLyricSearchTimeoutSeconds, 5);
}
