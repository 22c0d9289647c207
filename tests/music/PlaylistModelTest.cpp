#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <fstream>
#include <set>

#include "PlaylistModel.h"

using namespace zavreo;

namespace {

// Each row as "list" for a header or "list/song-index" for a song, top to bottom.
std::vector<std::string> Rows(const PlaylistModel& model) {
    std::vector<std::string> rows;
    for (int row = 0; row < model.RowCount(); ++row) {
        const PlaylistModel::RowContent content = model.Row(row);
        rows.push_back(content.song < 0 ? *content.list
                                        : *content.list + "/" + std::to_string(content.song));
    }
    return rows;
}

using Strings = std::vector<std::string>;

}  // namespace

TEST(PlaylistModel, RowsFollowTheHeadersInTheOrderListsWereAddedAndShiftWithEveryChange) {
    PlaylistModel model;
    ASSERT_EQ(model.AddCategory("z"), kResultOk);
    ASSERT_EQ(model.AddCategory("a"), kResultOk);
    ASSERT_EQ(model.AddCategory(kDefaultListName), kResultOk);
    EXPECT_EQ(Rows(model), (Strings{"z", "a", kDefaultListName}));

    EXPECT_EQ(model.AddItem("z", "/m/1.mp3"), 0);
    EXPECT_EQ(model.AddItem("z", "/m/2.mp3"), 1);
    EXPECT_EQ(model.AddItem("a", "/m/3.mp3"), 0);
    // Closed lists show only their headers.
    EXPECT_EQ(Rows(model), (Strings{"z", "a", kDefaultListName}));

    model.SetCategoryOpen("z", true);
    EXPECT_EQ(Rows(model), (Strings{"z", "z/0", "z/1", "a", kDefaultListName}));
    EXPECT_EQ(model.Find("a")->headerRow, 3);
    EXPECT_EQ(model.Find(kDefaultListName)->headerRow, 4);
    model.SetCategoryOpen("a", true);
    // A song added to an open list gets its row at once.
    model.AddItem("z", "/m/4.mp3");
    EXPECT_EQ(Rows(model), (Strings{"z", "z/0", "z/1", "z/2", "a", "a/0", kDefaultListName}));

    EXPECT_EQ(model.RemoveRow(2), kResultOk);
    EXPECT_EQ(Rows(model), (Strings{"z", "z/0", "z/1", "a", "a/0", kDefaultListName}));
    EXPECT_EQ(model.GetItemText("z", 1), "/m/4.mp3");
    EXPECT_EQ(model.RemoveRow(0), kResultOk);
    EXPECT_EQ(Rows(model), (Strings{"a", "a/0", kDefaultListName}));
    EXPECT_EQ(model.Find(kDefaultListName)->headerRow, 2);
    model.SetCategoryOpen("a", false);
    EXPECT_EQ(Rows(model), (Strings{"a", kDefaultListName}));
    EXPECT_EQ(model.CategoryAtRow(1), kDefaultListName);
    EXPECT_EQ(model.CategoryAtRow(2), "");
    // AddItem creates a missing list.
    EXPECT_EQ(model.AddItem("new", "/m/5.mp3"), 0);
    EXPECT_EQ(Rows(model), (Strings{"a", kDefaultListName, "new"}));
}

TEST(PlaylistModel, OperationsOnWhatDoesNotExistReturnTheirCodesAndChangeNothing) {
    PlaylistModel model;
    EXPECT_EQ(model.AddCategory(static_cast<const char*>(nullptr)), kResultPointer);
    EXPECT_EQ(model.AddCategory(""), kResultInvalidArg);
    EXPECT_EQ(model.AddCategory("a"), kResultOk);
    EXPECT_EQ(model.AddCategory("a"), kResultInvalidArg);
    EXPECT_EQ(model.AddItem("", "/x.mp3"), -1);
    EXPECT_EQ(model.RemoveCategory("b"), kResultInvalidArg);
    EXPECT_EQ(model.RenameCategory("b", "c"), kResultInvalidArg);
    EXPECT_EQ(model.RemoveItem("a", 0), kResultInvalidArg);
    EXPECT_EQ(model.RemoveItem("b", 0), kResultInvalidArg);
    EXPECT_EQ(model.RemoveRow(1), kResultInvalidArg);
    EXPECT_EQ(model.RemoveRow(-1), kResultInvalidArg);
    EXPECT_EQ(model.SetCategoryOpen("b", true), kResultInvalidArg);
    EXPECT_EQ(model.GetItemText("a", 0), "err");
    EXPECT_EQ(model.GetItemText("b", 0), "err");
    EXPECT_EQ(model.GetItemState("b", 0), -1);
    EXPECT_EQ(model.GetItemState("a", 0), kResultInvalidArg);
    EXPECT_EQ(model.SetItemState("a", 0, ItemPlaying), kResultInvalidArg);
    EXPECT_FALSE(model.ContainsPath("b", "/x.mp3"));
    EXPECT_EQ(model.RowCount(), 1);

    // The same path twice stays twice; letter case makes another song.
    model.AddItem("a", "/m/A.mp3");
    model.AddItem("a", "/m/A.mp3");
    EXPECT_EQ(model.SongCount("a"), 2);
    EXPECT_TRUE(model.ContainsPath("a", "/m/A.mp3"));
    EXPECT_FALSE(model.ContainsPath("a", "/m/a.mp3"));
}

TEST(PlaylistModel, RenamingTurnsTheOpenStateOverAndTakesTheMarkersAlong) {
    PlaylistModel model;
    model.AddCategory(kDefaultListName);
    model.AddItem("list", "/m/1.mp3");
    model.AddItem("list", "/m/2.mp3");
    model.AddCategory("last");
    model.SetCategoryOpen("list", true);
    model.MarkPlaying(1, "/m/2.mp3", "list");
    model.SetItemState("list", 1, ItemPlaying);
    model.MarkSelected(0, "/m/1.mp3", "list");
    model.SetItemState("list", 0, ItemSelected);

    ASSERT_EQ(model.RenameCategory("list", "歌单"), kResultOk);
    EXPECT_EQ(model.Find("list"), nullptr);
    ASSERT_NE(model.Find("歌单"), nullptr);
    EXPECT_FALSE(model.Find("歌单")->isOpen);
    EXPECT_EQ(Rows(model), (Strings{kDefaultListName, "歌单", "last"}));
    EXPECT_EQ(model.m_nCurrentRow, 1);
    EXPECT_EQ(model.Playing().list, "歌单");
    EXPECT_EQ(model.Selected().list, "歌单");
    EXPECT_EQ(model.GetItemState("歌单", 1), ItemPlaying);
    EXPECT_EQ(model.GetItemState("歌单", 0), ItemSelected);

    ASSERT_EQ(model.RenameCategory("歌单", "b"), kResultOk);
    EXPECT_TRUE(model.Find("b")->isOpen);
    EXPECT_EQ(Rows(model), (Strings{kDefaultListName, "b", "b/0", "b/1", "last"}));
    EXPECT_EQ(model.RenameCategory("b", "last"), kResultInvalidArg);
}

TEST(PlaylistModel, MarkersStayOnTheirSongsWhenSongsAboveThemGo) {
    PlaylistModel model;
    for (const char* path : {"/m/0.mp3", "/m/1.mp3", "/m/2.mp3", "/m/3.mp3"}) {
        model.AddItem("l", path);
    }
    model.SetCategoryOpen("l", true);
    model.MarkPlaying(3, "/m/3.mp3", "l");
    model.MarkSelected(2, "/m/2.mp3", "l");

    EXPECT_EQ(model.RemoveRow(1), kResultOk);  // song 0
    EXPECT_EQ(model.Playing().index, 2);
    EXPECT_EQ(model.Selected().index, 1);
    EXPECT_EQ(model.GetItemText("l", model.Playing().index), "/m/3.mp3");
    EXPECT_EQ(model.GetItemText("l", model.Selected().index), "/m/2.mp3");
    // A marked song going clears its marker only.
    model.RemoveItem("l", 2);
    EXPECT_FALSE(model.Playing().set);
    EXPECT_EQ(model.Selected().index, 1);
    model.RemoveItem("l", 1);
    EXPECT_FALSE(model.Selected().set);
}

TEST(PlaylistModel, ClearingOrRemovingThePlayingListStopsThePlayer) {
    int stops = 0;
    PlaylistModel model([&] { ++stops; });
    model.AddItem("a", "/m/1.mp3");
    model.AddItem("b", "/m/2.mp3");
    model.SetCategoryOpen("a", true);
    model.MarkPlaying(0, "/m/1.mp3", "a");
    model.MarkSelected(0, "/m/2.mp3", "b");

    model.ClearCategory("b");
    EXPECT_EQ(stops, 0);
    EXPECT_FALSE(model.Selected().set);
    EXPECT_EQ(model.SongCount("b"), 0);

    model.ClearCategory("a");
    EXPECT_EQ(stops, 1);
    EXPECT_FALSE(model.Playing().set);
    EXPECT_FALSE(model.Find("a")->isOpen);
    EXPECT_EQ(Rows(model), (Strings{"a", "b"}));

    model.AddItem("b", "/m/3.mp3");
    model.MarkPlaying(0, "/m/3.mp3", "b");
    EXPECT_EQ(model.RemoveCategory("b"), kResultOk);
    EXPECT_EQ(stops, 2);
    EXPECT_EQ(Rows(model), (Strings{"a"}));
}

TEST(PlaylistModel, MarkingMovesTheStatesOfThePreviousSong) {
    PlaylistModel model;
    model.AddItem("a", "/m/1.mp3");
    model.AddItem("a", "/m/2.mp3");
    model.AddItem("a", "/m/3.mp3");
    model.MarkPlaying(0, "/m/1.mp3", "a");
    model.SetItemState("a", 0, ItemPlaying);
    model.SetItemState("a", 2, ItemPlaying);
    model.MarkPlaying(1, "/m/2.mp3", "a");
    // Every playing song of the old list goes back to normal.
    EXPECT_EQ(model.GetItemState("a", 0), ItemNormal);
    EXPECT_EQ(model.GetItemState("a", 2), ItemNormal);

    model.MarkSelected(0, "/m/1.mp3", "a");
    model.SetItemState("a", 0, ItemSelected);
    model.SetItemState("a", 1, ItemSelected);
    model.MarkSelected(2, "/m/3.mp3", "a");
    // Only the first selected one.
    EXPECT_EQ(model.GetItemState("a", 0), ItemNormal);
    EXPECT_EQ(model.GetItemState("a", 1), ItemSelected);
}

TEST(PlaylistModel, RandomIndexNeverPicksThePlayingSongAndCopesWithTinyLists) {
    PlaylistModel model;
    model.AddCategory("a");
    model.MarkPlaying(0, "", "a");
    EXPECT_EQ(model.RandomIndex(), -1);
    model.AddItem("a", "/m/0.mp3");
    EXPECT_EQ(model.RandomIndex(), 0);
    for (int i = 1; i < 5; ++i) {
        model.AddItem("a", "/m/" + std::to_string(i) + ".mp3");
    }
    model.MarkPlaying(3, "/m/3.mp3", "a");
    std::set<int> seen;
    for (int i = 0; i < 400; ++i) {
        const int index = model.RandomIndex();
        ASSERT_GE(index, 0);
        ASSERT_LT(index, 5);
        ASSERT_NE(index, 3);
        seen.insert(index);
    }
    EXPECT_EQ(seen.size(), 4u);
}

TEST(PlaylistModel, TheCyclicSearchSkipsMissingFilesAndGivesUpAfterOneRound) {
    QTemporaryDir dir;
    const std::string folder = dir.path().toStdString();
    const std::string present = folder + "/b.mp3";
    std::ofstream(present) << "x";
    PlaylistModel model;
    model.AddItem("a", folder + "/gone0.mp3");
    model.AddItem("a", present);
    model.AddItem("a", folder + "/gone2.mp3");
    model.AddItem("a", folder);  // a folder is no song
    EXPECT_EQ(model.FirstExisting("a", 2, 1), 1);
    EXPECT_EQ(model.FirstExisting("a", 0, -1), 1);
    EXPECT_EQ(model.FirstExisting("a", 1, 1), 1);
    EXPECT_EQ(model.FirstExisting("missing", 0, 1), -1);
    std::filesystem::remove(present);
    EXPECT_EQ(model.FirstExisting("a", 0, 1), -1);
}

TEST(PlaylistModel, DisplayNamesAndFolders) {
    EXPECT_EQ(PlaylistModel::DisplayName("/music/b.mp3"), "b");
    EXPECT_EQ(PlaylistModel::DisplayName("/music/歌曲 一.wma"), "歌曲 一");
    EXPECT_EQ(PlaylistModel::DisplayName("abcd.mp3"), "abcd");
    // The extension goes whatever its length; a name without one stays whole.
    EXPECT_EQ(PlaylistModel::DisplayName("/music/夜曲.flac"), "夜曲");
    EXPECT_EQ(PlaylistModel::DisplayName("/music/a.b.opus"), "a.b");
    EXPECT_EQ(PlaylistModel::DisplayName("/music/b.m"), "b");
    EXPECT_EQ(PlaylistModel::DisplayName("/music/晴天歌曲名字"), "晴天歌曲名字");
    EXPECT_EQ(PlaylistModel::DisplayName("/music/.mp3"), ".mp3");
    EXPECT_EQ(PlaylistModel::FolderOf("/music/sub/b.mp3"), "/music/sub/");
    EXPECT_EQ(PlaylistModel::FolderOf("b.mp3"), "");
}

TEST(ListMenuIds, IdsStartAt11004AndAreNeverReused) {
    ListMenuIds ids;
    EXPECT_EQ(ids.Register("a"), 11004);
    EXPECT_EQ(ids.Register("b"), 11005);
    ids.Remove("a");
    EXPECT_EQ(ids.Register("c"), 11006);
    ids.Rename("b", "d");
    EXPECT_EQ(ids.NameOf(11005), "d");
    EXPECT_EQ(ids.NameOf(11004), "");
    EXPECT_EQ(ids.Ids().size(), 2u);
}
