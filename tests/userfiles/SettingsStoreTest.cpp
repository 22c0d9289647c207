#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <fstream>
#include <map>
#include <sstream>
#include <thread>

#include "AtomicFile.h"
#include "JsonLine.h"
#include "SettingsStore.h"

namespace {

using zavreo::SettingsGroup;
using zavreo::SettingsStore;

// A panel whose state is a map of integer members plus an optional "text".
class FakePanel : public zavreo::ISettingsGroup {
public:
    FakePanel(std::map<std::string, int> ints, std::string text = {}, bool hasText = false)
        : ints_(std::move(ints)), text_(std::move(text)), hasText_(hasText) {}

    void FillSettings(Json::Value& group) const override {
        for (const auto& [name, value] : ints_) {
            group[name] = value;
        }
        if (hasText_) {
            group["text"] = text_;
        }
    }
    void ApplySettings(const Json::Value& group) override {
        ++applied;
        for (auto& [name, value] : ints_) {
            value = zavreo::JsonInt(group, name.c_str());
        }
        if (hasText_) {
            text_ = zavreo::JsonText(group, "text");
        }
    }

    std::map<std::string, int> ints_;
    std::string text_;
    bool hasText_;
    int applied = 0;
};

std::string ReadAll(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteRaw(const std::filesystem::path& file, const std::string& text) {
    std::ofstream(file, std::ios::binary) << text;
}

std::map<std::string, int> Numbered(std::initializer_list<int> values) {
    std::map<std::string, int> members;
    int i = 1;
    for (int value : values) {
        members[std::to_string(i++)] = value;
    }
    return members;
}

// The five panels as a normal exit leaves them: subtitle on with "abc", presets 2 and 4, no
// decoration.
struct Panels {
    FakePanel text{{{"isChose", 1},
                    {"font", 0},
                    {"size", 2},
                    {"pos", 1},
                    {"direction", 0},
                    {"color", 255},
                    {"bkcolor", 16777215},
                    {"bkdegree", 3}},
                   "abc",
                   true};
    FakePanel white{{{"isShouShen", 1},
                     {"isMeiBai", 0},
                     {"isMoPi", 1},
                     {"ShouShen", 40},
                     {"MeiBai", 0},
                     {"MoPi", 12}}};
    FakePanel filter{Numbered({0, 1, 0, 1, 0})};
    FakePanel deco{Numbered({0, 0, 0, 0, 0})};
    FakePanel lyric{{{"colorNum", 1}, {"isDouble", 0}, {"FontSize", 30}, {"isShow", 1}}};

    void AttachTo(SettingsStore& store) {
        store.Attach(SettingsGroup::kText, &text);
        store.Attach(SettingsGroup::kWhite, &white);
        store.Attach(SettingsGroup::kFilter, &filter);
        store.Attach(SettingsGroup::kDeco, &deco);
        store.Attach(SettingsGroup::kLyric, &lyric);
    }
    int Applied() const {
        return text.applied + white.applied + filter.applied + deco.applied + lyric.applied;
    }
};

constexpr char kExample[] =
    R"({"Deco":[{"1":0,"2":0,"3":0,"4":0,"5":0}],"Filter":[{"1":0,"2":1,"3":0,"4":1,"5":0}],)"
    R"("Text":[{"bkcolor":16777215,"bkdegree":3,"color":255,"direction":0,"font":0,)"
    R"("isChose":1,"pos":1,"size":2,"text":"abc"}],)"
    R"("White":[{"MeiBai":0,"MoPi":12,"ShouShen":40,"isMeiBai":0,"isMoPi":1,"isShouShen":1}],)"
    R"("m_Lyric":[{"FontSize":30,"colorNum":1,"isDouble":0,"isShow":1}]})"
    "\n";

class SettingsStoreTest : public ::testing::Test {
protected:
    std::filesystem::path File() const {
        return std::filesystem::path(dir_.path().toStdString()) / "config.lst";
    }
    QTemporaryDir dir_;
};

}  // namespace

TEST_F(SettingsStoreTest, SavesTheExampleByteForByteAndReadsItBack) {
    Panels saved;
    SettingsStore store(File());
    saved.AttachTo(store);
    ASSERT_TRUE(store.Save());
    EXPECT_EQ(ReadAll(File()), kExample);

    Panels next;
    next.text.ints_ = {{"isChose", 9}, {"color", 9}, {"bkdegree", 9}};
    next.filter.ints_ = Numbered({7, 7, 7, 7, 7});
    SettingsStore reread(File());
    next.AttachTo(reread);
    ASSERT_TRUE(reread.Load());
    EXPECT_EQ(next.Applied(), 5);
    EXPECT_EQ(next.text.ints_,
              (std::map<std::string, int>{{"isChose", 1}, {"color", 255}, {"bkdegree", 3}}));
    EXPECT_EQ(next.text.text_, "abc");
    EXPECT_EQ(next.filter.ints_, Numbered({0, 1, 0, 1, 0}));
    EXPECT_EQ(next.lyric.ints_["FontSize"], 30);
}

TEST_F(SettingsStoreTest, ChineseTextIsStoredAsRawUtf8) {
    Panels saved;
    saved.text.text_ = "直播\"你好\"";
    SettingsStore store(File());
    saved.AttachTo(store);
    ASSERT_TRUE(store.Save());
    const std::string text = ReadAll(File());
    EXPECT_NE(text.find(R"("text":"直播\"你好\"")"), std::string::npos) << text;
    EXPECT_EQ(text.find("\\u"), std::string::npos);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1);

    Panels next;
    SettingsStore reread(File());
    next.AttachTo(reread);
    ASSERT_TRUE(reread.Load());
    EXPECT_EQ(next.text.text_, "直播\"你好\"");
}

TEST_F(SettingsStoreTest, FilesThatAreNotOneLineOfJsonObjectLoadNothing) {
    const std::string multiLine = "{\n  \"Filter\": [{\"2\": 1}],\n  \"Deco\": [{\"1\": 1}]\n}\n";
    for (const std::string& content :
         {multiLine, std::string(), std::string("not json"), std::string("[1,2,3]\n"),
          std::string("5\n"), std::string("\"text\"\n"), std::string(100000, '['),
          std::string("{\"Deco\":[{\"1\":1}]")}) {
        WriteRaw(File(), content);
        Panels panels;
        SettingsStore store(File());
        panels.AttachTo(store);
        EXPECT_FALSE(store.Load()) << content.substr(0, 40);
        EXPECT_EQ(panels.Applied(), 0) << content.substr(0, 40);
        EXPECT_EQ(panels.filter.ints_, Numbered({0, 1, 0, 1, 0}));
    }

    std::filesystem::remove(File());
    Panels panels;
    SettingsStore missing(File());
    panels.AttachTo(missing);
    EXPECT_FALSE(missing.Load());
    EXPECT_EQ(panels.Applied(), 0);
}

TEST_F(SettingsStoreTest, OnlyTheFirstLineCounts) {
    WriteRaw(File(), "{\"Filter\":[{\"3\":1}]}\n{\"Filter\":[{\"5\":1}]}\n");
    Panels panels;
    SettingsStore store(File());
    panels.AttachTo(store);
    ASSERT_TRUE(store.Load());
    EXPECT_EQ(panels.filter.ints_, Numbered({0, 0, 1, 0, 0}));
}

TEST_F(SettingsStoreTest, MissingAndWronglyTypedValuesReadAsZeroOrEmpty) {
    WriteRaw(File(), R"({"Text":[{"isChose":"1","text":5,"color":1.5,"size":3.0,"font":true}],)"
                     R"("White":{"isMeiBai":1},"Filter":[],"Deco":[7],"m_Lyric":[{"isShow":1}]})"
                     "\n");
    Panels panels;
    SettingsStore store(File());
    panels.AttachTo(store);
    ASSERT_TRUE(store.Load());
    // Every panel applies, with what it gets.
    EXPECT_EQ(panels.Applied(), 5);
    EXPECT_EQ(panels.text.ints_["isChose"], 0);
    EXPECT_EQ(panels.text.ints_["color"], 0);
    EXPECT_EQ(panels.text.ints_["size"], 3);
    EXPECT_EQ(panels.text.ints_["font"], 0);
    EXPECT_EQ(panels.text.text_, "");
    EXPECT_EQ(panels.white.ints_["isShouShen"], 0);
    EXPECT_EQ(panels.filter.ints_, Numbered({0, 0, 0, 0, 0}));
    EXPECT_EQ(panels.deco.ints_, Numbered({0, 0, 0, 0, 0}));
    EXPECT_EQ(panels.lyric.ints_["isShow"], 1);
    EXPECT_EQ(panels.lyric.ints_["FontSize"], 0);
}

TEST_F(SettingsStoreTest, AGroupWithoutItsPanelIsWrittenBackAsLoaded) {
    WriteRaw(File(), R"({"m_Lyric":[{"FontSize":28,"colorNum":4}],"Deco":[{"2":1}]})"
                     "\n");
    Panels panels;
    SettingsStore store(File());
    store.Attach(SettingsGroup::kFilter, &panels.filter);
    ASSERT_TRUE(store.Load());
    ASSERT_TRUE(store.Save());
    EXPECT_EQ(ReadAll(File()),
              R"({"Deco":[{"2":1}],"Filter":[{"1":0,"2":0,"3":0,"4":0,"5":0}],"Text":[{}],)"
              R"("White":[{}],"m_Lyric":[{"FontSize":28,"colorNum":4}]})"
              "\n");
}

TEST_F(SettingsStoreTest, SavingMakesAFolderRemovedDuringTheRunAgain) {
    const std::filesystem::path folder = std::filesystem::path(dir_.path().toStdString()) / "gone";
    SettingsStore store(folder / "Config" / "config.lst");
    EXPECT_TRUE(store.Save());
    EXPECT_TRUE(std::filesystem::is_regular_file(folder / "Config" / "config.lst"));

    WriteRaw(folder / "plain", "x");
    SettingsStore impossible(folder / "plain" / "config.lst");
    EXPECT_FALSE(impossible.Save());
}

TEST_F(SettingsStoreTest, AFailedWriteKeepsTheOldFile) {
    // A folder in the file's place cannot be replaced; it stays as it was.
    std::filesystem::create_directory(File());
    WriteRaw(File() / "inside", "old\n");
    Panels panels;
    SettingsStore blocked(File());
    panels.AttachTo(blocked);
    EXPECT_FALSE(blocked.Save());
    EXPECT_EQ(ReadAll(File() / "inside"), "old\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(File().parent_path()),
                            std::filesystem::directory_iterator()),
              1);
}

TEST(AtomicFile, AKillDuringTheWriteLeavesTheOldFileWhole) {
    QTemporaryDir dir;
    const std::filesystem::path file =
        std::filesystem::path(dir.path().toStdString()) / "music.lst";
    WriteRaw(file, "old contents\n");
    chmod(file.c_str(), 0640);

    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Large enough that the kill lands while it is still being written.
        const std::string huge(256u << 20, 'x');
        zavreo::WriteFileAtomically(file, huge);
        _exit(0);
    }
    // Wait for the temporary file to start growing, then kill the writer.
    bool sawTemp = false;
    for (int i = 0; i < 2000 && !sawTemp; ++i) {
        for (const auto& entry : std::filesystem::directory_iterator(file.parent_path())) {
            std::error_code ignored;
            if (entry.path() != file && entry.file_size(ignored) > 0) {
                sawTemp = true;
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(sawTemp);
    EXPECT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(ReadAll(file), "old contents\n");

    // The cut-off save's temporary file stays until it is old enough to be surely stale.
    auto leftovers = [&] {
        return std::distance(std::filesystem::directory_iterator(file.parent_path()),
                             std::filesystem::directory_iterator()) -
               1;
    };
    ASSERT_TRUE(zavreo::WriteFileAtomically(file, "new\n"));
    EXPECT_EQ(ReadAll(file), "new\n");
    EXPECT_EQ(leftovers(), 1);
    for (const auto& entry : std::filesystem::directory_iterator(file.parent_path())) {
        std::filesystem::last_write_time(
            entry.path(), std::filesystem::file_time_type::clock::now() - std::chrono::minutes(2));
    }
    WriteRaw(file.parent_path() / ".music.lst.bak", "not a temporary file of ours\n");
    ASSERT_TRUE(zavreo::WriteFileAtomically(file, "newer\n"));
    EXPECT_EQ(leftovers(), 1);  // only the unrelated file
    struct stat info {};
    stat(file.c_str(), &info);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
}

// A file the user cannot read (mode 000) must not pass that mode on to its replacement; a new
// file is the user's alone.
TEST(AtomicFile, ReplacementsStayReadableByTheirOwnerAndNewFilesArePrivate) {
    QTemporaryDir dir;
    const std::filesystem::path folder(dir.path().toStdString());
    WriteRaw(folder / "config.lst", "{}\n");
    chmod((folder / "config.lst").c_str(), 0);
    ASSERT_TRUE(zavreo::WriteFileAtomically(folder / "config.lst", "{\"Text\":[{}]}\n"));
    ASSERT_TRUE(zavreo::WriteFileAtomically(folder / "music.lst", "{}\n"));
    struct stat info {};
    stat((folder / "config.lst").c_str(), &info);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    stat((folder / "music.lst").c_str(), &info);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
}

// A FIFO or a link to /dev/zero in place of the file neither holds the start nor fills memory.
TEST_F(SettingsStoreTest, AFifoOrAnEndlessDeviceLoadsNothingAndIsReplacedOnSave) {
    for (const bool fifo : {true, false}) {
        std::filesystem::remove(File());
        ASSERT_EQ(fifo ? mkfifo(File().c_str(), 0600) : symlink("/dev/zero", File().c_str()), 0);
        Panels panels;
        SettingsStore store(File());
        panels.AttachTo(store);
        EXPECT_FALSE(store.Load());
        EXPECT_EQ(panels.Applied(), 0);
        ASSERT_TRUE(store.Save());
        struct stat info {};
        ASSERT_EQ(lstat(File().c_str(), &info), 0);
        EXPECT_TRUE(S_ISREG(info.st_mode));
        EXPECT_EQ(info.st_mode & 0777, 0600u);
        Panels again;
        SettingsStore reread(File());
        again.AttachTo(reread);
        EXPECT_TRUE(reread.Load());
    }
}

// What could not be read whole is never destroyed: the first save keeps it beside, once.
TEST_F(SettingsStoreTest, AFileNotReadWholeIsKeptBesideBeforeTheFirstSave) {
    const std::filesystem::path kept = File().string() + zavreo::kUnreadableSuffix;
    static const char withNul[] = "{\"Text\":[{}],\0\"White\":[{}]}\n";
    const std::string longSubtitle =
        R"({"Text":[{"text":")" + std::string(zavreo::kMaxUserLineBytes, 'x') + "\"}]}\n";
    for (const std::string& content : {longSubtitle, std::string(withNul, sizeof withNul - 1),
                                       std::string("{\"Text\":[{\"te"), std::string("x{}\n{}\n")}) {
        WriteRaw(File(), content);
        Panels panels;
        SettingsStore store(File());
        panels.AttachTo(store);
        EXPECT_FALSE(store.Load());
        // Other tests' damaged files stay marked: only this one is looked for.
        const auto marked = [&] {
            const std::vector<std::filesystem::path> files = zavreo::FilesToKeep();
            return std::find(files.begin(), files.end(), File()) != files.end();
        };
        EXPECT_TRUE(marked());
        ASSERT_TRUE(store.Save());
        EXPECT_EQ(ReadAll(kept), content) << content.substr(0, 40);
        EXPECT_FALSE(marked());
        // Later saves of the run replace only the file itself.
        const std::string saved = ReadAll(File());
        ASSERT_TRUE(store.Save());
        EXPECT_EQ(ReadAll(kept), content);
        EXPECT_EQ(ReadAll(File()), saved);
        SettingsStore reread(File());
        EXPECT_TRUE(reread.Load());
    }
    // A missing file has nothing to keep; a whole one is simply replaced.
    std::filesystem::remove(kept);
    std::filesystem::remove(File());
    SettingsStore missing(File());
    EXPECT_FALSE(missing.Load());
    ASSERT_TRUE(missing.Save());
    ASSERT_TRUE(missing.Load());
    ASSERT_TRUE(missing.Save());
    EXPECT_FALSE(std::filesystem::exists(kept));
}

// Older versions wrote the subtitle in the system code page.
TEST_F(SettingsStoreTest, ASubtitleInGbkIsReadAsTextAndSavedAsUtf8) {
    WriteRaw(File(),
             "{\"Text\":[{\"isChose\":1,\"text\":\"\xD6\xB1\xB2\xA5\\\\\xC4\xE3\xBA\xC3\"}]}\n");
    Panels panels;
    SettingsStore store(File());
    panels.AttachTo(store);
    ASSERT_TRUE(store.Load());
    EXPECT_EQ(panels.text.text_, "直播\\你好");
    ASSERT_TRUE(store.Save());
    EXPECT_NE(ReadAll(File()).find(R"("text":"直播\\你好")"), std::string::npos) << ReadAll(File());
}
