#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
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

namespace {

// The copy of `file` numbered `number`.
std::filesystem::path CopyOf(const std::filesystem::path& file, int number) {
    return file.string() + zavreo::kUnreadableSuffix + "." + std::to_string(number);
}

// What this run kept of `file`, as the tip would name it.
std::optional<zavreo::KeptFile> KeptOf(const std::filesystem::path& file) {
    for (const zavreo::KeptFile& kept : zavreo::KeptFiles()) {
        if (kept.file == file) {
            return kept;
        }
    }
    return std::nullopt;
}

int CopiesOf(const std::filesystem::path& file) {
    int copies = 0;
    for (const auto& entry : std::filesystem::directory_iterator(file.parent_path())) {
        copies += entry.path().filename().string().starts_with(file.filename().string() +
                                                               zavreo::kUnreadableSuffix);
    }
    return copies;
}

// Runs `body` where `folder` cannot be written: as root (whom modes do not stop) in a child
// turned into the user nobody, owning `folder`; else with the folder's write bit off. `body`
// reports through its exit status (0: passed).
int WithFolderReadOnly(const std::filesystem::path& folder, const std::function<int()>& body) {
    if (geteuid() != 0) {
        chmod(folder.c_str(), 0500);
        const int status = body();
        chmod(folder.c_str(), 0700);
        return status;
    }
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        EXPECT_EQ(lchown(entry.path().c_str(), 65534, 65534), 0);
    }
    EXPECT_EQ(chown(folder.c_str(), 65534, 65534), 0);
    chmod(folder.c_str(), 0500);
    const pid_t child = fork();
    if (child == 0) {
        _exit(setgid(65534) == 0 && setuid(65534) == 0 ? body() : 99);
    }
    int status = 0;
    waitpid(child, &status, 0);
    chmod(folder.c_str(), 0700);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 98;
}

}  // namespace

// What could not be read whole is never destroyed: a copy is kept beside at once, and the tip
// can name it; saves then replace only the file itself.
TEST_F(SettingsStoreTest, AFileNotReadWholeIsKeptBesideAtOnce) {
    static const char withNul[] = "{\"Text\":[{}],\0\"White\":[{}]}\n";
    const std::string longSubtitle =
        R"({"Text":[{"text":")" + std::string(zavreo::kMaxUserLineBytes, 'x') + "\"}]}\n";
    int number = 0;
    for (const std::string& content : {longSubtitle, std::string(withNul, sizeof withNul - 1),
                                       std::string("{\"Text\":[{\"te"), std::string("x{}\n{}\n")}) {
        WriteRaw(File(), content);
        Panels panels;
        SettingsStore store(File());
        panels.AttachTo(store);
        EXPECT_FALSE(store.Load());
        const auto kept = KeptOf(File());
        ASSERT_TRUE(kept);
        EXPECT_EQ(kept->copy, CopyOf(File(), ++number));
        EXPECT_EQ(kept->reason, zavreo::KeepReason::kUnreadable);
        EXPECT_EQ(ReadAll(kept->copy), content) << content.substr(0, 40);
        struct stat info {};
        ASSERT_EQ(stat(kept->copy.c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0600u);
        ASSERT_TRUE(store.Save());
        ASSERT_TRUE(store.Save());
        EXPECT_EQ(ReadAll(kept->copy), content);
        EXPECT_EQ(CopiesOf(File()), number);
        SettingsStore reread(File());
        EXPECT_TRUE(reread.Load());
    }
    // A missing file has nothing to keep; a whole one is simply replaced.
    std::filesystem::remove(File());
    SettingsStore missing(File());
    EXPECT_FALSE(missing.Load());
    ASSERT_TRUE(missing.Save());
    ASSERT_TRUE(missing.Load());
    ASSERT_TRUE(missing.Save());
    EXPECT_EQ(CopiesOf(File()), number);
}

// Ten different damaged files, one a start: all ten are kept. The eleventh removes the oldest;
// a damaged file kept already is not kept twice, and the tip names the copy that holds it.
TEST_F(SettingsStoreTest, EveryDistinctDamagedVersionIsKeptTheOldestGoingFirst) {
    WriteRaw(File().string() + zavreo::kUnreadableSuffix, "kept by an older version");
    const auto damaged = [](int i) { return "{\"Text\":[{\"text\":\"" + std::to_string(i); };
    for (int i = 1; i <= zavreo::kMaxKeptCopies + 1; ++i) {
        WriteRaw(File(), damaged(i));
        SettingsStore store(File());
        EXPECT_FALSE(store.Load());
        EXPECT_EQ(KeptOf(File())->copy, CopyOf(File(), i));
    }
    EXPECT_EQ(CopiesOf(File()), zavreo::kMaxKeptCopies);
    EXPECT_FALSE(std::filesystem::exists(File().string() + zavreo::kUnreadableSuffix));
    EXPECT_FALSE(std::filesystem::exists(CopyOf(File(), 1)));
    for (int i = 2; i <= zavreo::kMaxKeptCopies + 1; ++i) {
        EXPECT_EQ(ReadAll(CopyOf(File(), i)), damaged(i));
    }
    WriteRaw(File(), damaged(5));
    SettingsStore again(File());
    EXPECT_FALSE(again.Load());
    EXPECT_EQ(KeptOf(File())->copy, CopyOf(File(), 5));
    EXPECT_EQ(CopiesOf(File()), zavreo::kMaxKeptCopies);
    // The newest always has the highest number, also with the oldest's number free again.
    WriteRaw(File(), damaged(12));
    SettingsStore newest(File());
    EXPECT_FALSE(newest.Load());
    EXPECT_EQ(KeptOf(File())->copy, CopyOf(File(), 12));
    EXPECT_FALSE(std::filesystem::exists(CopyOf(File(), 2)));
}

// Where no copy can be made (the disk full, here a limit on file sizes below the damaged file's)
// that is said (an empty copy), and the file is then never replaced in this run, so nothing is
// lost; the failed save is listed for the exit's notice.
TEST_F(SettingsStoreTest, AFileThatCannotBeKeptIsNotReplaced) {
    const std::string huge =
        R"({"Text":[{"text":")" + std::string(zavreo::kMaxUserLineBytes, 'x') + "\"}]}\n";
    WriteRaw(File(), huge);
    const pid_t child = fork();
    if (child == 0) {
        signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{64 * 1024, 64 * 1024};
        setrlimit(RLIMIT_FSIZE, &limit);
        SettingsStore store(File());
        store.Load();
        const auto kept = KeptOf(File());
        if (!kept || !kept->copy.empty()) {
            _exit(1);
        }
        const bool saved = store.Save();
        const std::vector<std::filesystem::path> unsaved = zavreo::UnsavedFiles();
        _exit(!saved && std::find(unsaved.begin(), unsaved.end(), File()) != unsaved.end() ? 0 : 2);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(ReadAll(File()), huge);
    EXPECT_EQ(CopiesOf(File()), 0);

    // A later save that succeeds takes the file off the list.
    zavreo::ForgetUnsavedFiles();
    ASSERT_TRUE(zavreo::WriteFileAtomically(File().parent_path() / "music.lst", "{}\n"));
    EXPECT_TRUE(zavreo::UnsavedFiles().empty());
}

// In a folder that cannot be written, the damaged file stays as it was and the save fails.
TEST_F(SettingsStoreTest, AReadOnlyFolderKeepsItsFileAndTheSaveFails) {
    WriteRaw(File(), "{\"Text\":[{\"te");
    const std::filesystem::path file = File();
    const int status = WithFolderReadOnly(file.parent_path(), [&] {
        SettingsStore store(file);
        store.Load();
        const auto kept = KeptOf(file);
        if (!kept || !kept->copy.empty() || store.Save()) {
            return 1;
        }
        return ReadAll(file) == "{\"Text\":[{\"te" && CopiesOf(file) == 0 ? 0 : 2;
    });
    EXPECT_EQ(status, 0);
}

// A file another user left in the folder (a run as root) that this user cannot read is moved
// aside whole: nothing is lost, and the user's settings are saved again.
TEST_F(SettingsStoreTest, AFileThisUserCannotReadIsMovedAsideWhole) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "needs root to leave a file of another user";
    }
    const std::filesystem::path folder = File().parent_path();
    WriteRaw(File(), kExample);
    chmod(File().c_str(), 0600);
    chown(folder.c_str(), 65534, 65534);
    const std::filesystem::path file = File();
    const pid_t child = fork();
    if (child == 0) {
        if (setgid(65534) != 0 || setuid(65534) != 0) {
            _exit(9);
        }
        SettingsStore store(file);
        const bool loaded = store.Load();
        const auto kept = KeptOf(file);
        _exit(!loaded && kept && kept->copy == CopyOf(file, 1) && store.Save() ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(ReadAll(CopyOf(File(), 1)), kExample);
    struct stat info {};
    ASSERT_EQ(stat(File().c_str(), &info), 0);
    EXPECT_EQ(info.st_uid, 65534u);
}

// A settings file that is a link to a regular file (kept elsewhere, under version control) is
// written through: the link stays, its target is replaced atomically, keeping its mode.
TEST_F(SettingsStoreTest, ALinkToTheFileIsWrittenThrough) {
    const std::filesystem::path elsewhere =
        std::filesystem::path(dir_.path().toStdString()) / "dotfiles";
    std::filesystem::create_directory(elsewhere);
    WriteRaw(elsewhere / "config.lst", "{}\n");
    chmod((elsewhere / "config.lst").c_str(), 0640);
    std::filesystem::create_symlink("dotfiles/config.lst", File());
    Panels panels;
    SettingsStore store(File());
    panels.AttachTo(store);
    ASSERT_TRUE(store.Save());
    EXPECT_TRUE(std::filesystem::is_symlink(File()));
    EXPECT_EQ(std::filesystem::read_symlink(File()), "dotfiles/config.lst");
    EXPECT_EQ(ReadAll(elsewhere / "config.lst"), kExample);
    struct stat info {};
    ASSERT_EQ(stat((elsewhere / "config.lst").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
    EXPECT_EQ(CopiesOf(File()), 0);

    // One that another user made in an open folder is never followed to this user's file.
    if (geteuid() == 0) {
        std::filesystem::remove(File());
        std::filesystem::create_symlink("dotfiles/config.lst", File());
        ASSERT_EQ(lchown(File().c_str(), 65534, 65534), 0);
        WriteRaw(elsewhere / "config.lst", "mine\n");
        ASSERT_TRUE(store.Save());
        EXPECT_FALSE(std::filesystem::is_symlink(File()));
        EXPECT_EQ(ReadAll(elsewhere / "config.lst"), "mine\n");
    }
}

// Members, groups and elements the program does not know, and values a panel could not take, are
// written back as they were; the panel's own values replace only what it holds.
TEST_F(SettingsStoreTest, WhatThePanelsDoNotKnowIsWrittenBackAsItWas) {
    const std::string unusual =
        R"({"Deco":[{"1":0,"2":0,"3":0,"4":0,"5":0,"6":1},{"next":true}],)"
        R"("Filter":[{"1":0,"2":1,"3":0,"4":1,"5":0}],"Future":{"a":[1,2]},)"
        R"("Text":[{"bkcolor":16777215,"bkdegree":3,"color":255,"direction":0,"font":0,)"
        R"("isChose":"yes","pos":1,"size":2.5,"text":"abc"}],)"
        R"("White":[{"MeiBai":0,"MoPi":12,"ShouShen":40,"isMeiBai":0,"isMoPi":1,"isShouShen":1}],)"
        R"("m_Lyric":[{"FontSize":30,"colorNum":1,"isDouble":0,"isShow":1}]})"
        "\n";
    WriteRaw(File(), unusual);
    Panels panels;
    SettingsStore store(File());
    panels.AttachTo(store);
    ASSERT_TRUE(store.Load());
    EXPECT_FALSE(KeptOf(File())) << "nothing is lost, so nothing is kept beside";
    ASSERT_TRUE(store.Save());
    EXPECT_EQ(ReadAll(File()), unusual);
    // Once the user changes them, the panel's values are written.
    panels.text.ints_["isChose"] = 1;
    panels.text.ints_["size"] = 1;
    panels.white.ints_["MoPi"] = 99;
    ASSERT_TRUE(store.Save());
    const std::string changed = ReadAll(File());
    EXPECT_NE(changed.find(R"("isChose":1,"pos":1,"size":1,)"), std::string::npos) << changed;
    EXPECT_NE(changed.find(R"("MoPi":99,)"), std::string::npos) << changed;
    EXPECT_NE(changed.find(R"("Future":{"a":[1,2]})"), std::string::npos) << changed;
}

// A text the panel had to cut to its limit stays whole in the file while the panel holds the
// cut text.
TEST_F(SettingsStoreTest, ATextCutByItsPanelStaysWholeInTheFile) {
    class CuttingPanel : public FakePanel {
    public:
        CuttingPanel() : FakePanel({}, "", true) {}
        void ApplySettings(const Json::Value& group) override {
            FakePanel::ApplySettings(group);
            text_ = text_.substr(0, 4096);
        }
    };
    const std::string subtitle(200000, 'y');
    WriteRaw(File(), R"({"Text":[{"text":")" + subtitle + "\"}]}\n");
    CuttingPanel panel;
    SettingsStore store(File());
    store.Attach(SettingsGroup::kText, &panel);
    ASSERT_TRUE(store.Load());
    ASSERT_EQ(panel.text_.size(), 4096u);
    ASSERT_TRUE(store.Save());
    EXPECT_NE(ReadAll(File()).find("\"text\":\"" + subtitle + "\""), std::string::npos);
    panel.text_ = "new";
    ASSERT_TRUE(store.Save());
    EXPECT_NE(ReadAll(File()).find(R"("text":"new")"), std::string::npos);
}

// What a rewrite cannot carry over (a second line, comments, a repeated member, text after the
// value, a group of another shape, bytes that are neither UTF-8 nor GBK) is kept beside before
// the file is rewritten; the file itself still loads.
TEST_F(SettingsStoreTest, AFileARewriteWouldNotGiveBackWholeIsKeptBeside) {
    const std::string line = R"({"Filter":[{"3":1}]})";
    int number = 0;
    for (const std::string& content : std::vector<std::string>{
             line + "\n{\"Filter\":[{\"5\":1}]}\n", "/* mine */" + line + "\n",
             R"({"Filter":[{"3":1}],"Filter":[{"4":1}]})"
             "\n",
             line + "{}\n", line + " x\n",
             R"({"Filter":[{"3":1}],"Text":{"text":"object"}})"
             "\n",
             R"({"Filter":[{"3":1}],"Deco":[7]})"
             "\n",
             "{\"Filter\":[{\"3\":1}],\"Text\":[{\"text\":\"\xff\xff\"}]}\n"}) {
        WriteRaw(File(), content);
        Panels panels;
        SettingsStore store(File());
        panels.AttachTo(store);
        ASSERT_TRUE(store.Load()) << content;
        const auto kept = KeptOf(File());
        ASSERT_TRUE(kept) << content;
        EXPECT_EQ(kept->reason, zavreo::KeepReason::kNotWritable);
        EXPECT_EQ(kept->copy, CopyOf(File(), ++number));
        EXPECT_EQ(ReadAll(kept->copy), content);
        ASSERT_TRUE(store.Save());
        // Written in the one-line form alone: no comment a lenient read kept comes back.
        const std::string saved = ReadAll(File());
        EXPECT_EQ(saved.find("/*"), std::string::npos) << saved;
        EXPECT_EQ(std::count(saved.begin(), saved.end(), '\n'), 1) << saved;
    }
    // Without a line feed at the end the one line is still all there is.
    WriteRaw(File(), line);
    SettingsStore store(File());
    ASSERT_TRUE(store.Load());
    EXPECT_EQ(KeptOf(File())->copy, CopyOf(File(), number)) << "no copy made for it";
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
