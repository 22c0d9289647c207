#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <fstream>
#include <sstream>

#include "AtomicFile.h"
#include "FileText.h"
#include "JsonLine.h"
#include "MusicListFile.h"

using namespace zavreo;

namespace {

class MusicListFileTest : public ::testing::Test {
protected:
    std::filesystem::path File() const { return dir_.path().toStdString() + "/music.lst"; }
    // Loads `text` as music.lst into a fresh model, then writes the model back and returns it.
    std::string RoundTrip(const std::string& text) {
        WriteAll(File(), text);
        LoadMusicListFile(File(), model_, ids_);
        EXPECT_TRUE(SaveMusicListFile(File(), model_));
        return ReadAll(File());
    }

    QTemporaryDir dir_;
    PlaylistModel model_;
    ListMenuIds ids_;
};

constexpr char kDefaultOnly[] =
    "{\"list\":[{\"isopen\":false,\"listname\":\"默认列表\",\"musicnum\":0}],\"num\":1}\n";

}  // namespace

TEST_F(MusicListFileTest, OneListWithOneSongIsWrittenByteForByte) {
    model_.AddCategory(kDefaultListName);
    model_.AddItem(kDefaultListName, "D:\\music\\a.mp3");
    model_.SetCategoryOpen(kDefaultListName, true);
    ASSERT_TRUE(SaveMusicListFile(File(), model_));
    EXPECT_EQ(ReadAll(File()),
              "{\"list\":[{\"isopen\":true,\"listname\":\"默认列表\",\"musiclist\":[{\"path\":"
              "\"D:\\\\music\\\\a.mp3\"}],\"musicnum\":1}],\"num\":1}\n");

    // And reads back as it was.
    PlaylistModel again;
    ListMenuIds ids;
    LoadMusicListFile(File(), again, ids);
    EXPECT_TRUE(again.m_bPlaylistMode);
    EXPECT_EQ(again.GetItemText(kDefaultListName, 0), "D:\\music\\a.mp3");
    EXPECT_TRUE(again.Find(kDefaultListName)->isOpen);
    EXPECT_EQ(again.RowCount(), 2);
}

TEST_F(MusicListFileTest, TheDefaultListComesFirstAndTheOthersInByteOrder) {
    model_.AddCategory("b");
    model_.AddCategory(kDefaultListName);
    model_.AddCategory("A");
    model_.AddItem("b", "/m/x.mp3");
    model_.AddItem("b", "/m/\"q\"\t.mp3");
    ASSERT_TRUE(SaveMusicListFile(File(), model_));
    EXPECT_EQ(ReadAll(File()),
              "{\"list\":[{\"isopen\":false,\"listname\":\"默认列表\",\"musicnum\":0},"
              "{\"isopen\":false,\"listname\":\"A\",\"musicnum\":0},"
              "{\"isopen\":false,\"listname\":\"b\",\"musiclist\":[{\"path\":\"/m/x.mp3\"},"
              "{\"path\":\"/m/\\\"q\\\"\\t.mp3\"}],\"musicnum\":2}],\"num\":3}\n");

    // After a restart the headers stand in the file's order, each with a menu id.
    PlaylistModel again;
    ListMenuIds ids;
    LoadMusicListFile(File(), again, ids);
    ASSERT_EQ(again.RowCount(), 3);
    EXPECT_EQ(again.CategoryAtRow(0), kDefaultListName);
    EXPECT_EQ(again.CategoryAtRow(1), "A");
    EXPECT_EQ(again.CategoryAtRow(2), "b");
    EXPECT_EQ(again.GetItemText("b", 1), "/m/\"q\"\t.mp3");
    EXPECT_EQ(ids.NameOf(11004), kDefaultListName);
    EXPECT_EQ(ids.NameOf(11006), "b");
}

TEST_F(MusicListFileTest, AMissingUnreadableOrBrokenFileGivesTheDefaultListAlone) {
    LoadMusicListFile(File(), model_, ids_);
    EXPECT_TRUE(model_.m_bPlaylistMode);
    ASSERT_TRUE(SaveMusicListFile(File(), model_));
    EXPECT_EQ(ReadAll(File()), kDefaultOnly);

    for (const std::string text : {"{\"list\":[", "", "\n{\"num\":1}", "[1,2]", "{\"num\":0}"}) {
        PlaylistModel model;
        ListMenuIds ids;
        WriteAll(File(), text);
        LoadMusicListFile(File(), model, ids);
        ASSERT_TRUE(SaveMusicListFile(File(), model));
        EXPECT_EQ(ReadAll(File()), kDefaultOnly) << text;
        EXPECT_EQ(ids.Ids().size(), 1u);
    }
    // A folder in the file's place.
    std::filesystem::remove(File());
    std::filesystem::create_directory(File());
    PlaylistModel model;
    ListMenuIds ids;
    LoadMusicListFile(File(), model, ids);
    EXPECT_EQ(model.RowCount(), 1);
}

TEST_F(MusicListFileTest, TheStandInListOfANameBeingTypedIsNotWritten) {
    model_.AddCategory(kDefaultListName);
    model_.AddCategory(kStandInListName);
    ASSERT_TRUE(SaveMusicListFile(File(), model_));
    EXPECT_EQ(ReadAll(File()), kDefaultOnly);
}

TEST_F(MusicListFileTest, CountsAreBoundedByTheArraysAndOnlyTheFirstLineCounts) {
    const std::string saved = RoundTrip(
        "{\"list\":[{\"isopen\":true,\"listname\":\"默认列表\",\"musiclist\":[{\"path\":\"/"
        "a.mp3\"},"
        "{\"path\":7},{}],\"musicnum\":2147483647},{\"isopen\":1,\"listname\":\"x\",\"musiclist\":"
        "[{\"path\":\"/b.mp3\"}],\"musicnum\":1}],\"num\":2147483647}\n"
        "{\"list\":[{\"listname\":\"later line\"}],\"num\":1}\n");
    // Songs without a path are dropped; "isopen" may also be written as 1.
    EXPECT_EQ(saved,
              "{\"list\":[{\"isopen\":true,\"listname\":\"默认列表\",\"musiclist\":[{\"path\":"
              "\"/a.mp3\"}],\"musicnum\":1},{\"isopen\":true,\"listname\":\"x\",\"musiclist\":[{"
              "\"path\":\"/b.mp3\"}],\"musicnum\":1}],\"num\":2}\n");
    EXPECT_EQ(model_.Find("later line"), nullptr);
}

// Two lists of one name stay two lists: the second is named "b(2)", and the file as it was is
// kept beside.
TEST_F(MusicListFileTest, WithoutTheDefaultListItIsAddedFirstAndRepeatedNamesStayApart) {
    const std::string text =
        "{\"list\":[{\"isopen\":false,\"listname\":\"b\",\"musiclist\":[{\"path\":\"/1.mp3\"}],"
        "\"musicnum\":1},{\"isopen\":true,\"listname\":\"b\",\"musiclist\":[{\"path\":"
        "\"/2.mp3\"}],\"musicnum\":1}],\"num\":2}\n";
    const std::string saved = RoundTrip(text);
    EXPECT_EQ(model_.CategoryAtRow(0), kDefaultListName);
    EXPECT_EQ(model_.CategoryAtRow(1), "b");
    EXPECT_EQ(saved,
              "{\"list\":[{\"isopen\":false,\"listname\":\"默认列表\",\"musicnum\":0},{\"isopen\":"
              "false,\"listname\":\"b\",\"musiclist\":[{\"path\":\"/1.mp3\"}],\"musicnum\":1},"
              "{\"isopen\":true,\"listname\":\"b(2)\",\"musiclist\":[{\"path\":\"/2.mp3\"}],"
              "\"musicnum\":1}],\"num\":3}\n");
    EXPECT_EQ(ids_.Ids().size(), 3u);
    EXPECT_EQ(ReadAll(File().string() + kUnreadableSuffix + ".1"), text);
}

// Counts that disagree with their arrays, a NUL byte, a broken first line, a list past the
// reader's limit: the file is not taken whole, and is kept beside at once.
TEST_F(MusicListFileTest, AFileNotTakenWholeIsKeptBeside) {
    const std::string song = R"({"path":"/a.mp3"})";
    const std::string list =
        R"({"list":[{"listname":"默认列表","musiclist":[)" + song + "," + song + R"(],"musicnum":)";
    static const char withNul[] = "{\"list\":[],\0\"num\":0}\n";
    int number = 0;
    for (const std::string& text :
         {list + "-1}],\"num\":1}\n", list + "2}],\"num\":1e308}\n",
          list + "2}],\"num\":18446744073709551615}\n", list + "1}],\"num\":1}\n",
          list + "2},{\"listname\":\"\"}],\"num\":2}\n", list + "2}],\"num\":0}\n",
          std::string(withNul, sizeof withNul - 1), list, "x" + list + "2}],\"num\":1}\n",
          std::string("{\"list\":[{\"listname\":\"b\",\"musicnum\":0},\"junk\"],\"num\":2}\n")}) {
        const std::filesystem::path kept =
            File().string() + kUnreadableSuffix + "." + std::to_string(++number);
        PlaylistModel model;
        ListMenuIds ids;
        WriteAll(File(), text);
        LoadMusicListFile(File(), model, ids);
        EXPECT_EQ(ReadAll(kept), text);
        ASSERT_TRUE(SaveMusicListFile(File(), model));
        ASSERT_TRUE(SaveMusicListFile(File(), model));
        EXPECT_EQ(ReadAll(kept), text);
    }
    // Taken whole: replaced without a copy.
    RoundTrip(list + "2}],\"num\":1}\n");
    EXPECT_FALSE(std::filesystem::exists(File().string() + kUnreadableSuffix + "." +
                                         std::to_string(number + 1)));
}

// Members the program does not know, or more after the line: the file is kept beside before the
// playlists are written back; what it knows loads as usual.
TEST_F(MusicListFileTest, WhatARewriteWouldLoseIsKeptBeside) {
    const std::string known =
        R"({"list":[{"isopen":false,"listname":"默认列表","musiclist":[{"path":"/a.mp3"}],)"
        R"("musicnum":1}],"num":1})";
    int number = 0;
    for (const std::string& text : std::vector<std::string>{
             known.substr(0, known.size() - 1) + ",\"shuffle\":true}\n",
             R"({"list":[{"colour":"red","isopen":false,"listname":"默认列表","musiclist":[)"
             R"({"path":"/a.mp3"}],"musicnum":1}],"num":1})"
             "\n",
             R"({"list":[{"isopen":false,"listname":"默认列表","musiclist":[{"path":"/a.mp3",)"
             R"("rating":5}],"musicnum":1}],"num":1})"
             "\n",
             known + "\n{}\n"}) {
        PlaylistModel model;
        ListMenuIds ids;
        WriteAll(File(), text);
        LoadMusicListFile(File(), model, ids);
        EXPECT_EQ(model.GetItemText(kDefaultListName, 0), "/a.mp3") << text;
        ASSERT_TRUE(SaveMusicListFile(File(), model));
        EXPECT_EQ(ReadAll(File().string() + kUnreadableSuffix + "." + std::to_string(++number)),
                  text);
    }
    EXPECT_EQ(RoundTrip(known + "\n"), known + "\n");
    EXPECT_FALSE(std::filesystem::exists(File().string() + kUnreadableSuffix + "." +
                                         std::to_string(number + 1)));
}

TEST_F(MusicListFileTest, AListNamedWithANulKeepsItsSongs) {
    const std::string text =
        R"({"list":[{"isopen":false,"listname":"默认列表","musicnum":0},{"isopen":false,)"
        R"("listname":"my\u0000list","musiclist":[{"path":"/a.mp3"}],"musicnum":1}],"num":2})"
        "\n";
    EXPECT_EQ(RoundTrip(text), text);
    const std::string name("my\0list", 7);
    ASSERT_NE(model_.Find(name), nullptr);
    EXPECT_EQ(model_.GetItemText(name, 0), "/a.mp3");
    EXPECT_EQ(model_.Find("my"), nullptr);
}

// Never more than the reader takes: the last songs are left out, the rest reads back whole.
TEST_F(MusicListFileTest, WritingStopsAtTheReadersLimit) {
    model_.AddCategory(kDefaultListName);
    model_.AddCategory("b");
    for (int i = 0; i < 300; ++i) {
        model_.AddItem(i < 200 ? kDefaultListName : "b", "/music/" + std::to_string(i) + ".mp3");
    }
    const std::size_t limit = 4000;
    ASSERT_TRUE(SaveMusicListFile(File(), model_, limit));
    const std::string text = ReadAll(File());
    EXPECT_LE(text.size(), limit);
    EXPECT_GT(text.size(), limit - 40) << "as many songs as fit";
    PlaylistModel again;
    ListMenuIds ids;
    EXPECT_TRUE(LoadMusicList(
        [&] {
            Json::Value root;
            EXPECT_TRUE(ParseJsonLine(text, root));
            return root;
        }(),
        again, ids));
    EXPECT_EQ(again.GetItemText(kDefaultListName, 0), "/music/0.mp3");
    EXPECT_NE(again.Find("b"), nullptr);
    EXPECT_EQ(again.Find("b")->items.size(), 0u);
}
