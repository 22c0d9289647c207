// Damaged and unusual user files through the real window: loaded at the start, written back by
// the exit. Nothing in them is lost: what the program writes back holds it, or a copy beside
// holds the file as it was.

#include <sys/stat.h>

#include <QImage>
#include <functional>
#include <map>
#include <vector>

#include "AtomicFile.h"
#include "CMervalaDlg.h"
#include "MainWindowFixture.h"

namespace {

namespace fs = std::filesystem;

// Settings the panels take as they are.
const std::string kSettings =
    R"({"Deco":[{"1":0,"2":0,"3":0,"4":0,"5":0}],"Filter":[{"1":0,"2":1,"3":0,"4":0,"5":0}],)"
    R"("Text":[{"bkcolor":8421504,"bkdegree":2,"color":16777215,"direction":0,"font":1,)"
    R"("isChose":0,"pos":2,"size":2,"text":"字幕"}],)"
    R"("White":[{"MeiBai":60,"MoPi":50,"ShouShen":40,"isMeiBai":0,"isMoPi":0,"isShouShen":0}],)"
    R"("m_Lyric":[{"FontSize":50,"colorNum":3,"isDouble":0,"isShow":0}]})";

// `text` with `before` replaced by `after`.
std::string Replace(std::string text, const std::string& before, const std::string& after) {
    text.replace(text.find(before), before.size(), after);
    return text;
}

std::string Settings(const std::string& before, const std::string& after) {
    return Replace(kSettings, before, after);
}

// A small picture at `home`/`name` (any bytes in the name); its path.
std::string Picture(const fs::path& home, const std::string& name) {
    const fs::path plain = home / "plain.png";
    QImage image(40, 30, QImage::Format_RGB888);
    image.fill(Qt::red);
    EXPECT_TRUE(image.save(QString::fromStdString(plain.string()), "PNG"));
    const fs::path path = home / name;
    std::ifstream from(plain, std::ios::binary);
    std::ofstream(path, std::ios::binary) << from.rdbuf();
    return path.string();
}

struct Case {
    const char* name;
    const char* file;  // in the configuration folder
    // The file's bytes, given the case's home (where its pictures lie).
    std::function<std::string(const fs::path& home)> contents;
    // What the exit must have written: these pieces in the file, or (empty) a copy beside
    // holding the file as it was.
    std::vector<std::string> written;
};

std::vector<Case> Cases() {
    const auto same = [](std::string text) { return [text](const fs::path&) { return text; }; };
    return {
        {"a root member the program does not know",
         "config.lst",
         same(Settings("\"m_Lyric\"", R"("Future":{"x":[1,2]},"m_Lyric")") + "\n"),
         {R"("Future":{"x":[1,2]})"}},
        {"a group member it does not know",
         "config.lst",
         same(Settings(R"("isShouShen":0})", R"("isShouShen":0,"zGlow":3})") + "\n"),
         {R"("isShouShen":0,"zGlow":3})"}},
        {"a second element in a group",
         "config.lst",
         same(Settings(R"("5":0}],"Filter")", R"("5":0},{"later":true}],"Filter")") + "\n"),
         {R"("5":0},{"later":true}],"Filter")"}},
        {"a value of another type",
         "config.lst",
         same(Settings(R"("isChose":0)", R"("isChose":"no")") + "\n"),
         {R"("isChose":"no")"}},
        {"a subtitle longer than the panel holds",
         "config.lst",
         same(Settings("字幕", std::string(200000, 'y')) + "\n"),
         {"\"text\":\"" + std::string(200000, 'y') + "\""}},
        {"a group written as an object",
         "config.lst",
         same(Replace(Settings(R"("Text":[{)", R"("Text":{)"), R"("字幕"}],)", R"("字幕"},)") +
              "\n"),
         {}},
        {"a second line", "config.lst", same(kSettings + "\n" + kSettings + "\n"), {}},
        {"a second document on the line", "config.lst", same(kSettings + "{}\n"), {}},
        {"text after the document", "config.lst", same(kSettings + " mine\n"), {}},
        {"a comment", "config.lst", same("/* mine */" + kSettings + "\n"), {}},
        {"a member given twice",
         "config.lst",
         same(Settings(R"("Deco":)", R"("Deco":[{"1":1}],"Deco":)") + "\n"),
         {}},
        {"bytes that are neither UTF-8 nor GBK",
         "config.lst",
         same(Settings("字幕", "\xff\xfe\xff") + "\n"),
         {}},
        {"damaged settings", "config.lst", same(kSettings.substr(0, 40)), {}},
        {"two playlists of one name",
         "music.lst",
         same(R"({"list":[{"isopen":false,"listname":"默认列表","musicnum":0},)"
              R"({"isopen":false,"listname":"b","musiclist":[{"path":"/1.mp3"}],"musicnum":1},)"
              R"({"isopen":false,"listname":"b","musiclist":[{"path":"/2.mp3"}],"musicnum":1}],)"
              R"("num":3})"
              "\n"),
         {}},
        {"a song member the program does not know",
         "music.lst",
         same(R"({"list":[{"isopen":false,"listname":"默认列表","musiclist":[{"path":"/1.mp3",)"
              R"("rating":5}],"musicnum":1}],"num":1})"
              "\n"),
         {}},
        {"a playlist count that disagrees",
         "music.lst",
         same(R"({"list":[{"isopen":false,"listname":"默认列表","musiclist":[{"path":"/1.mp3"}],)"
              R"("musicnum":2}],"num":1})"
              "\n"),
         {}},
        {"a second line after the playlists",
         "music.lst",
         same(R"({"list":[{"isopen":false,"listname":"默认列表","musicnum":0}],"num":1})"
              "\n{}\n"),
         {}},
        {"a picture entry with a NUL byte",
         "PicPath.lst",
         [](const fs::path& home) {
             const std::string a = Picture(home, "a.png");
             return R"({"list":[")" + a + R"(",")" + a +
                    R"(\u0000.png"],"num":2})"
                    "\n";
         },
         {}},
        {"a picture named in bytes that are not UTF-8",
         "PicPath.lst",
         [](const fs::path& home) {
             return R"({"list":[")" + Picture(home, "pic\xff\xfe.png") +
                    R"("],"num":1})"
                    "\n";
         },
         {"pic\xff\xfe.png\"],\"num\":1}\n"}},
        {"a picture-list member the program does not know",
         "PicPath.lst",
         [](const fs::path& home) {
             return R"({"list":[")" + Picture(home, "a.png") +
                    R"("],"num":1,"shown":0})"
                    "\n";
         },
         {}},
    };
}

// The copies kept beside `file`.
std::vector<fs::path> CopiesOf(const fs::path& file) {
    std::vector<fs::path> copies;
    for (const auto& entry : fs::directory_iterator(file.parent_path())) {
        if (entry.path().filename().string().starts_with(file.filename().string() +
                                                         ".unreadable")) {
            copies.push_back(entry.path());
        }
    }
    return copies;
}

}  // namespace

TEST_F(MainWindowTest, DamagedAndUnusualFilesLoseNothing) {
    for (const Case& one : Cases()) {
        SCOPED_TRACE(one.name);
        QTemporaryDir home;
        qputenv("HOME", home.path().toLocal8Bit());
        const fs::path homePath(home.path().toStdString());
        const fs::path folder = homePath / ".config" / "ZavreoZhuShou" / "Config";
        fs::create_directories(folder);
        const fs::path file = folder / one.file;
        const std::string original = one.contents(homePath);
        std::ofstream(file, std::ios::binary) << original;
        {
            CMervalaDlg dialog(ZAVREO_BIN_DIR);
            ASSERT_TRUE(dialog.OnInitDialog());
            dialog.show();
            bool ended = false;
            QObject::connect(&dialog, &QDialog::finished, [&] { ended = true; });
            QApplication::processEvents(QEventLoop::AllEvents, 100);
            dialog.OnCommand(CMervalaDlg::ID_TRAY_EXIT);
            ASSERT_TRUE(SpinUntil([&] { return ended; }, 10000));
        }
        const std::string saved = ReadAll(file);
        const std::vector<fs::path> copies = CopiesOf(file);
        if (one.written.empty()) {
            EXPECT_EQ(copies.size(), 1u) << "no copy beside, and the file is now: " << saved;
            if (copies.size() == 1) {
                EXPECT_EQ(ReadAll(copies[0]), original);
            }
        } else {
            EXPECT_TRUE(copies.empty()) << "a copy was kept of a file written back whole";
            for (const std::string& piece : one.written) {
                EXPECT_NE(saved.find(piece), std::string::npos)
                    << "missing " << piece.substr(0, 60) << " in " << saved.substr(0, 300);
            }
        }
        // Whatever was read, the program's own line comes back whole at the next start.
        EXPECT_EQ(std::count(saved.begin(), saved.end(), '\n'), 1) << saved.substr(0, 300);
    }
}

// The exit writes through a settings file that is a link: the link stays, the target is new.
TEST_F(MainWindowTest, ASettingsFileThatIsALinkIsWrittenThrough) {
    fs::create_directories(Config());
    const fs::path target = fs::path(home_.path().toStdString()) / "dotfiles" / "config.lst";
    fs::create_directories(target.parent_path());
    std::ofstream(target) << kSettings << "\n";
    fs::create_symlink(target, Config() / "config.lst");
    CMervalaDlg dialog(ZAVREO_BIN_DIR);
    ASSERT_TRUE(dialog.OnInitDialog());
    dialog.show();
    bool ended = false;
    QObject::connect(&dialog, &QDialog::finished, [&] { ended = true; });
    dialog.OnCommand(CMervalaDlg::ID_TRAY_EXIT);
    ASSERT_TRUE(SpinUntil([&] { return ended; }, 10000));
    EXPECT_TRUE(fs::is_symlink(Config() / "config.lst"));
    EXPECT_EQ(ReadAll(target), kSettings + "\n");
    EXPECT_TRUE(CopiesOf(Config() / "config.lst").empty());
}
