#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <fstream>
#include <sstream>

#include "FileText.h"
#include "MusicListFile.h"
#include "PlaylistCommands.h"
#include "TipTexts.h"

using namespace zavreo;

namespace {

class PlaylistCommandsTest : public ::testing::Test {
protected:
    void SetUp() override {
        LoadMusicListFile(File(), model_, ids_);
        model_.AddCategory("b");
        ids_.Register("b");
    }
    std::filesystem::path Folder() const { return dir_.path().toStdString(); }
    std::filesystem::path File() const { return Folder() / "music.lst"; }
    bool Written() const { return std::filesystem::exists(File()); }
    std::string Touch(const std::string& name) {
        const std::filesystem::path path = Folder() / name;
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path) << "x";
        return path.string();
    }

    QTemporaryDir dir_;
    PlaylistModel model_;
    ListMenuIds ids_;
    std::vector<std::string> tips_;
    PlaylistCommands commands_{model_, ids_, File(),
                               [this](const char* tip) { tips_.push_back(tip); }};
};

}  // namespace

TEST_F(PlaylistCommandsTest, AddingFilesSkipsDuplicatesWithATipEachAndWritesTheFile) {
    model_.m_nClickedRow = 1;  // list "b"
    commands_.AddFiles({"/m/1.mp3", "", "/m/2.wma", "/m/1.mp3"});
    EXPECT_EQ(model_.SongCount("b"), 2);
    EXPECT_TRUE(model_.Find("b")->isOpen);
    EXPECT_EQ(tips_, std::vector<std::string>{TipText::kSongInCurrentList});
    ASSERT_TRUE(Written());
    EXPECT_NE(ReadAll(File()).find("/m/2.wma"), std::string::npos);

    // Cancelled dialog: nothing chosen, still written.
    std::filesystem::remove(File());
    commands_.AddFiles({});
    EXPECT_TRUE(Written());

    // Through the music panel the songs go to the default list, once.
    commands_.SetAddToDefault(true);
    commands_.AddFiles({"/m/3.mp3"});
    EXPECT_EQ(model_.SongCount(kDefaultListName), 1);
    EXPECT_FALSE(commands_.AddToDefault());
    model_.m_nClickedRow = model_.Find("b")->headerRow;
    commands_.AddFiles({"/m/4.mp3"});
    EXPECT_EQ(model_.SongCount("b"), 3);
}

TEST_F(PlaylistCommandsTest, AFolderGivesItsMp3AndWmaFilesButNotUpperCaseOrSubfolders) {
    const std::string a = Touch("songs/a.mp3");
    const std::string b = Touch("songs/b.wma");
    Touch("songs/C.MP3");
    Touch("songs/d.ogg");
    Touch("songs/sub/e.mp3");
    std::filesystem::create_directory(Folder() / "songs" / "folder.mp3");
    EXPECT_EQ(PlaylistCommands::SongsInFolder(Folder() / "songs"), (std::vector{a, b}));
    // With the player's other kinds: files ending in one of them too, still as written.
    const std::string f = Touch("songs/f.flac");
    Touch("songs/G.FLAC");
    Touch("songs/hflac");
    EXPECT_EQ(PlaylistCommands::SongsInFolder(Folder() / "songs", {"flac", "ogg"}),
              (std::vector{a, b, Folder().string() + "/songs/d.ogg", f}));
    std::filesystem::remove(f);

    model_.m_nClickedRow = 0;
    commands_.AddFolder(Folder() / "songs");
    commands_.AddFolder(Folder() / "songs");
    EXPECT_EQ(model_.SongCount(kDefaultListName), 2);
    EXPECT_EQ(tips_.size(), 2u);
    EXPECT_TRUE(Written());
}

TEST_F(PlaylistCommandsTest, NamesTakenAreRefusedWithTheTipOfTheWayTheyWereCommitted) {
    commands_.CommitNewList("b", true);
    commands_.CommitNewList("b", false);
    commands_.CommitNewList("", true);
    EXPECT_EQ(tips_,
              (std::vector<std::string>{TipText::kListNameTakenOnEnter, TipText::kListNameTaken}));
    EXPECT_EQ(model_.RowCount(), 2);

    commands_.CommitNewList("新歌", true);
    EXPECT_EQ(model_.CategoryAtRow(2), "新歌");
    EXPECT_EQ(ids_.NameOf(11006), "新歌");

    commands_.CommitRename("新歌", "b", false);
    EXPECT_EQ(tips_.back(), TipText::kListNameTaken);
    commands_.CommitRename("新歌", "旧歌", true);
    EXPECT_EQ(model_.CategoryAtRow(2), "旧歌");
    EXPECT_EQ(ids_.NameOf(11006), "旧歌");
    // The default list and a list gone meanwhile keep things as they are.
    commands_.CommitRename(kDefaultListName, "别名", true);
    commands_.CommitRename("新歌", "别名", true);
    EXPECT_NE(model_.Find(kDefaultListName), nullptr);
    EXPECT_EQ(model_.Find("别名"), nullptr);
    EXPECT_FALSE(commands_.MayRename(0));
    EXPECT_EQ(tips_.back(), TipText::kCannotRenameDefaultList);
    EXPECT_TRUE(commands_.MayRename(2));
    // Creating and renaming lists reach the file only with the next write.
    EXPECT_FALSE(Written());
}

TEST_F(PlaylistCommandsTest, TheDefaultListCannotBeDeletedOthersAreAndTheFileIsWritten) {
    commands_.DeleteList(0);
    EXPECT_EQ(tips_, std::vector<std::string>{TipText::kCannotDeleteDefaultList});
    EXPECT_FALSE(Written());
    commands_.DeleteList(1);
    EXPECT_EQ(model_.Find("b"), nullptr);
    EXPECT_EQ(ids_.NameOf(11005), "");
    EXPECT_EQ(
        ReadAll(File()),
        "{\"list\":[{\"isopen\":false,\"listname\":\"默认列表\",\"musicnum\":0}],\"num\":1}\n");

    model_.AddItem(kDefaultListName, "/m/1.mp3");
    std::filesystem::remove(File());
    commands_.ClearList(0);
    EXPECT_EQ(model_.SongCount(kDefaultListName), 0);
    EXPECT_TRUE(Written());
}

TEST_F(PlaylistCommandsTest, AddingASongToAnotherListRefusesOneAlreadyThere) {
    model_.AddItem(kDefaultListName, "/m/1.mp3");
    model_.SetCategoryOpen(kDefaultListName, true);
    commands_.AddToList(11005, 1);
    EXPECT_TRUE(model_.ContainsPath("b", "/m/1.mp3"));
    EXPECT_TRUE(model_.Find("b")->isOpen);
    commands_.AddToList(11005, 1);
    EXPECT_EQ(model_.SongCount("b"), 1);
    EXPECT_EQ(tips_, std::vector<std::string>{TipText::kSongInTargetList});
    EXPECT_FALSE(Written());
}
