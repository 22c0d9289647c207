#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QWindow>
#include <fstream>

#include "AllocationCounter.h"
#include "CListCtrlCl.h"
#include "CLyricDlg.h"
#include "CLyricSearchDlg.h"
#include "CLyricsWindow.h"
#include "LyricSearchStatus.h"
#include "LyricsController.h"
#include "LyricsFont.h"
#include "LyricsRenderer.h"
#include "Lyricsd.h"
#include "UserFolders.h"

namespace {

using namespace zavreo;

// Solid red text, highlighted solid blue, no outline or shadow: every pixel tells its layer.
LyricsRenderer PlainRenderer(const QString& text) {
    LyricsStyle style;
    style.normalBrush = style.highBrush = 0;
    style.normalTop = Qt::red;
    style.highTop = Qt::blue;
    style.outline = style.highOutline = Qt::transparent;
    style.shadowOffset = 0;
    LyricsRenderer renderer;
    renderer.SetSize({900, 120});
    renderer.SetFont(LyricsFont(55));
    renderer.SetStyle(style);
    renderer.SetText(text);
    return renderer;
}

struct Coverage {
    int red = 0, blue = 0, other = 0, opaqueBlueRightOfClip = 0, opaqueRedLeftOfClip = 0;
};
Coverage Count(const QImage& frame, int clipX) {
    Coverage c;
    for (int y = 0; y < frame.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(frame.constScanLine(y));
        for (int x = 0; x < frame.width(); ++x) {
            const QRgb p = row[x];
            if (qAlpha(p) != 255) {
                c.other += qAlpha(p) != 0;
                continue;
            }
            if (p == qRgb(255, 0, 0)) {
                ++c.red;
                c.opaqueRedLeftOfClip += x < clipX;
            } else if (p == qRgb(0, 0, 255)) {
                ++c.blue;
                c.opaqueBlueRightOfClip += x >= clipX;
            }
        }
    }
    return c;
}

TEST(LyricsRenderer, HighlightSweepsFromLeftToRight) {
    LyricsRenderer renderer = PlainRenderer(QStringLiteral("测试歌词一句"));
    const Coverage none = Count(renderer.Frame(0), 0);
    EXPECT_GT(none.red, 500);
    EXPECT_EQ(none.blue, 0);
    const Coverage full = Count(renderer.Frame(1000), 0);
    EXPECT_EQ(full.red, 0);
    EXPECT_EQ(full.blue, none.red);

    const QRectF box = renderer.TextBox();
    EXPECT_NEAR(box.center().x(), 450, 1);
    const int clipX = static_cast<int>(box.left() + box.width() / 2);
    const Coverage half = Count(renderer.Frame(500), clipX);
    EXPECT_GT(half.blue, none.red / 4);
    EXPECT_GT(half.red, none.red / 4);
    EXPECT_EQ(half.red + half.blue, none.red);
    EXPECT_EQ(half.opaqueBlueRightOfClip, 0);
    EXPECT_EQ(half.opaqueRedLeftOfClip, 0);
}

TEST(LyricsRenderer, TextLayout) {
    LyricsRenderer renderer = PlainRenderer(QString());
    EXPECT_EQ(Count(renderer.Frame(500), 0).red + Count(renderer.Frame(500), 0).other, 0)
        << "no text is fully transparent";
    // Wider than the window: starts at the left edge, cut at the right.
    renderer.SetText(QString(40, QChar(u'长')));
    renderer.Frame(0);
    EXPECT_EQ(renderer.TextBox().left(), 0);
    EXPECT_EQ(renderer.TextBox().width(), 900);
    // Two lines stack; the indented second line starts right of the first.
    renderer.SetText(QStringLiteral("甲乙\r\n    丙"));
    const QImage& frame = renderer.Frame(0);
    const QRectF box = renderer.TextBox();
    const auto leftmost = [&](int fromY, int toY) {
        int left = frame.width();
        for (int y = std::max(fromY, 0); y < std::min(toY, frame.height()); ++y) {
            for (int x = 0; x < frame.width(); ++x) {
                if (qAlpha(frame.pixel(x, y)) > 128) {
                    left = std::min(left, x);
                }
            }
        }
        return left;
    };
    const int middle = static_cast<int>(box.center().y());
    EXPECT_GT(leftmost(middle, static_cast<int>(box.bottom())),
              leftmost(static_cast<int>(box.top()), middle) + 40);
}

TEST(LyricsRenderer, FramesAllocateNothingOnceTheTextIsDrawn) {
    LyricsRenderer renderer = PlainRenderer(QStringLiteral("测试歌词一句"));
    renderer.Frame(0);
    const long before = g_allocations.load();
    for (int progress = 0; progress <= 1000; progress += 10) {
        renderer.Frame(progress);
    }
    EXPECT_EQ(g_allocations.load(), before);
}

class LyricsWindows : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/zavreo-lyrics-home-XXXXXX";
        home_ = mkdtemp(pattern);
        setenv("HOME", home_.c_str(), 1);
        setenv("XDG_CONFIG_HOME", (home_ / ".config").c_str(), 1);
        controller_ = std::make_unique<LyricsController>(timer_);
        controller_->Create();
        LyricsPlayerHooks hooks;
        hooks.positionMs = [this] { return position_; };
        controller_->SetPlayer(hooks);
    }
    void TearDown() override {
        controller_.reset();
        std::filesystem::remove_all(home_);
    }
    QString Shown() { return controller_->Window().Renderer().Text(); }
    void WriteLyrics(const std::string& name, const std::string& text) {
        std::ofstream(LyricsFolder() / name, std::ios::binary) << text;
    }
    // A song with an ID3v1 title.
    std::string Song(const std::string& name, const std::string& title) {
        std::string tag(128, '\0');
        tag.replace(0, 3, "TAG");
        tag.replace(3, title.size(), title);
        const std::filesystem::path path = home_ / name;
        std::ofstream(path, std::ios::binary) << std::string(1000, 'x') << tag;
        return path.string();
    }

    std::filesystem::path home_;
    QTimer timer_;
    std::unique_ptr<LyricsController> controller_;
    std::optional<int> position_ = 0;
};

TEST_F(LyricsWindows, ALocalFilePlaysAlongWithTheSong) {
    EXPECT_EQ(Shown(), QString::fromUtf8(CLyricDlg::kIdleLine));
    WriteLyrics("晴天.lrc", "[00:02.00]第一句\n[00:05.00]第二句\n[00:09.00]第三句\n");
    QSignalSpy finished(controller_.get(), &LyricsController::LookupFinished);
    controller_->SongStarted("/music/晴天.mp3");
    // Read and parsed on a worker: the interface thread goes on at once.
    EXPECT_FALSE(controller_->HasLyrics());
    EXPECT_FALSE(timer_.isActive());
    ASSERT_TRUE(finished.wait(5000));
    EXPECT_TRUE(finished.front().front().toBool());
    EXPECT_TRUE(controller_->HasLyrics());
    EXPECT_TRUE(timer_.isActive());
    EXPECT_EQ(Shown(), QStringLiteral("第一句\r\n   第二句"));
    for (int ms = 0; ms <= 5100; ms += 100) {
        position_ = ms;
        controller_->LyricTick();
    }
    EXPECT_EQ(Shown(), QStringLiteral("第二句"));
    // Two lines from the bar: the display follows at once.
    controller_->Bar().OnCommand(CLyricDlg::IDC_LINES);
    EXPECT_EQ(Shown(), QStringLiteral("第一句\r\n   第二句"));
    // One second later: every line moves.
    controller_->Bar().OnCommand(CLyricDlg::IDC_LATER);
    EXPECT_EQ(controller_->Timeline().SingleLines()[0].startMs, 3000);

    controller_->Paused();
    EXPECT_FALSE(timer_.isActive());
    controller_->Resumed();
    EXPECT_TRUE(timer_.isActive());

    controller_->SongStarted("/music/other.wma");
    EXPECT_FALSE(controller_->HasLyrics());
    ASSERT_TRUE(finished.wait(5000));
    EXPECT_FALSE(finished.back().front().toBool());
    EXPECT_EQ(Shown(), QString::fromUtf8(kLyricsNotFound));
}

TEST_F(LyricsWindows, LyricsBesideTheSongAreUsedWhenTheLyricsFolderHasNone) {
    // Any server would answer: files beside a song are taken before asking it.
    Lyricsd server;
    server.AddSong("a.lrc", "[ti:晴天]\n[00:01.00]服务器\n");
    const std::filesystem::path folder = home_ / "歌曲";
    std::filesystem::create_directories(folder);
    // GB18030 text beside a FLAC song, its extension in capitals: "[00:02.00]窗外的麻雀".
    std::ofstream(folder / "晴天.LRC", std::ios::binary)
        << "[ti:\xC7\xE7\xCC\xEC]\r\n[00:02.00]\xB4\xB0\xCD\xE2\xB5\xC4\xC2\xE9\xC8\xB8\r\n";
    QSignalSpy finished(controller_.get(), &LyricsController::LookupFinished);
    controller_->SongStarted((folder / "晴天.flac").string());
    ASSERT_TRUE(finished.wait(5000));
    EXPECT_TRUE(finished.back().front().toBool());
    EXPECT_EQ(Shown(), QStringLiteral("窗外的麻雀"));
    EXPECT_FALSE(std::filesystem::exists(LyricsFolder() / "晴天.lrc")) << "nothing downloaded";

    // The same name in the lyrics folder goes first.
    WriteLyrics("晴天.lrc", "[00:02.00]歌词文件夹\n");
    controller_->SongStarted((folder / "晴天.mp3").string());
    ASSERT_TRUE(finished.wait(5000));
    EXPECT_EQ(Shown(), QStringLiteral("歌词文件夹"));

    // A song other than MP3 with no file anywhere: not found, and the server is not asked.
    controller_->SongStarted((folder / "无词.ogg").string());
    ASSERT_TRUE(finished.wait(5000));
    EXPECT_FALSE(finished.back().front().toBool());
    EXPECT_EQ(Shown(), QString::fromUtf8(kLyricsNotFound));
}

TEST_F(LyricsWindows, FilesOverTheLimitsAreNotFound) {
    QSignalSpy finished(controller_.get(), &LyricsController::LookupFinished);
    std::string tags;
    for (int i = 0; i < 2000; ++i) {
        tags += "[00:01.00]";
    }
    const std::vector<std::string> hostile = {
        "[00:02.00]a\n" + tags + std::string(500000, 'x') + "\n",
        "[00:02.00]a\n[00:03.00]" + std::string(kMaxLrcTextBytes + 1, 'x') + "\n",
        "[00:02.00]a\n" + std::string(kMaxLyricFileBytes, '\n'),
    };
    for (const std::string& text : hostile) {
        WriteLyrics("大.lrc", "[00:02.00]旧\n");
        controller_->SongStarted("/music/大.mp3");
        ASSERT_TRUE(finished.wait(5000));
        ASSERT_TRUE(controller_->HasLyrics());
        WriteLyrics("大.lrc", text);
        controller_->SongStarted("/music/大.mp3");
        ASSERT_TRUE(finished.wait(5000));
        EXPECT_FALSE(finished.back().front().toBool()) << text.size();
        EXPECT_FALSE(controller_->HasLyrics());
        EXPECT_FALSE(timer_.isActive());
        EXPECT_EQ(Shown(), QString::fromUtf8(kLyricsNotFound));
    }
}

TEST_F(LyricsWindows, MissingLyricsAreDownloadedWithoutBlocking) {
    Lyricsd server;
    ASSERT_TRUE(server.Running());
    server.AddSong("a.lrc", "[ti:夜曲]\n[00:01.00]一\n[00:03.00]二\n[00:20.00]三\n");
    position_ = 4000;
    QSignalSpy finished(controller_.get(), &LyricsController::LookupFinished);
    controller_->SongStarted(Song("夜曲.mp3", "\xD2\xB9\xC7\xFA"));
    EXPECT_FALSE(controller_->HasLyrics());
    ASSERT_TRUE(finished.wait(5000));
    EXPECT_TRUE(finished.front().front().toBool());
    EXPECT_TRUE(controller_->HasLyrics());
    EXPECT_TRUE(std::filesystem::exists(LyricsFolder() / "夜曲.lrc"));
    // The song went on meanwhile: its current line shows, not its first.
    EXPECT_EQ(Shown(), QStringLiteral(" 二"));

    // Not found: said so, and nothing written.
    controller_->SongStarted(Song("无名.mp3", "nothing"));
    ASSERT_TRUE(finished.wait(5000));
    EXPECT_FALSE(finished.back().front().toBool());
    EXPECT_EQ(Shown(), QString::fromUtf8(kLyricsNotFound));
    EXPECT_FALSE(std::filesystem::exists(LyricsFolder() / "无名.lrc"));
}

TEST_F(LyricsWindows, ADownloadAnsweringAfterAPauseOrStopLeavesTheLinesStill) {
    Lyricsd server;
    ASSERT_TRUE(server.Running());
    server.AddSong("a.lrc", "[ti:夜曲]\n[00:01.00]一\n[00:03.00]二\n");
    QSignalSpy finished(controller_.get(), &LyricsController::LookupFinished);
    // Paused before the answer: the lyrics are kept for the resumption, the timer waits.
    controller_->SongStarted(Song("夜曲.mp3", "\xD2\xB9\xC7\xFA"));
    controller_->Paused();
    ASSERT_TRUE(finished.wait(5000));
    EXPECT_TRUE(controller_->HasLyrics());
    EXPECT_FALSE(timer_.isActive());
    controller_->Seeked();
    controller_->ShiftLater();
    EXPECT_FALSE(timer_.isActive());
    controller_->Resumed();
    EXPECT_TRUE(timer_.isActive());

    // Stopped before the answer: the answer is dropped.
    std::filesystem::remove(LyricsFolder() / "夜曲.lrc");
    controller_->SongStarted(Song("夜曲.mp3", "\xD2\xB9\xC7\xFA"));
    controller_->Stopped();
    EXPECT_FALSE(finished.wait(1500));
    EXPECT_FALSE(timer_.isActive());
    EXPECT_FALSE(controller_->HasLyrics());
}

TEST_F(LyricsWindows, ASilentServerKeepsTheWindowResponsive) {
    SilentServer server;
    QElapsedTimer clock;
    clock.start();
    controller_->SongStarted(Song("慢.mp3", "slow"));
    EXPECT_LT(clock.elapsed(), 500);
    // The event loop keeps running: a 100 ms timer fires on time.
    QTimer probe;
    QSignalSpy fired(&probe, &QTimer::timeout);
    probe.start(100);
    QTest::qWait(600);
    EXPECT_GE(fired.size(), 4);
    // A local song started meanwhile is not overwritten by the late answer.
    WriteLyrics("快.lrc", "[00:02.00]快\n");
    QSignalSpy finished(controller_.get(), &LyricsController::LookupFinished);
    controller_->SongStarted("/music/快.mp3");
    ASSERT_TRUE(finished.wait(5000));
    EXPECT_EQ(Shown(), QStringLiteral("快"));
    clock.restart();
    controller_.reset();
    EXPECT_LT(clock.elapsed(), 3000) << "a pending download holds the exit";
}

TEST_F(LyricsWindows, SearchListsSevenResultsAndUsesTheChosenOnes) {
    Lyricsd server;
    for (int i = 0; i < 10; ++i) {
        server.AddSong("s" + std::to_string(i) + ".lrc",
                       "[ti:歌" + std::to_string(i) + "]\n[ar:A]\n[00:0" + std::to_string(i) +
                           ".50]词" + std::to_string(i) + "\n");
    }
    CLyricSearchDlg& search = controller_->Search();
    controller_->Bar().OnCommand(CLyricDlg::IDC_SEARCH);
    ASSERT_TRUE(search.isVisible());
    search.TitleEdit().setText(QStringLiteral("歌"));
    QSignalSpy shown(&search, &CLyricSearchDlg::ResultsShown);
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(&search.TitleEdit(), &enter);
    ASSERT_TRUE(shown.wait(5000));
    EXPECT_TRUE(search.isVisible()) << "Enter searches without closing";
    ASSERT_EQ(search.Results().rowCount(), 7);
    EXPECT_EQ(search.Results().GetItemText(6, 1), QStringLiteral("歌6"));
    EXPECT_EQ(search.Results().GetItemText(6, 2), QStringLiteral("A"));

    // No song loaded: nothing is written.
    position_.reset();
    search.Results().selectRow(2);
    search.UseSelected();
    EXPECT_FALSE(controller_->HasLyrics());

    position_ = 0;
    WriteLyrics("曲.lrc", "[00:02.00]旧\n");
    QSignalSpy finished(controller_.get(), &LyricsController::LookupFinished);
    controller_->SongStarted("/music/曲.mp3");
    ASSERT_TRUE(finished.wait(5000));
    search.Results().setRangeSelected(QTableWidgetSelectionRange(2, 0, 3, 3), true);
    search.UseSelected();
    ASSERT_TRUE(finished.wait(5000));
    std::ifstream in(LyricsFolder() / "曲.lrc");
    const std::string file(std::istreambuf_iterator<char>(in), {});
    EXPECT_EQ(file, "[00:03.50] 词3\n") << "the last chosen row is the one kept";
    EXPECT_TRUE(controller_->HasLyrics());
    EXPECT_EQ(*controller_->Timeline().SingleLines().at(0).text, " 词3");
}

TEST_F(LyricsWindows, TheSearchStartsWithThePlayingSongAndSaysWhatItDoes) {
    SongTags tags{"晴天", "周杰伦"};
    const SongTags* known = nullptr;
    LyricsPlayerHooks hooks;
    hooks.positionMs = [this] { return position_; };
    hooks.songTags = [&] { return known; };
    controller_->SetPlayer(hooks);
    CLyricSearchDlg& search = controller_->Search();
    QSignalSpy finished(controller_.get(), &LyricsController::LookupFinished);

    // Nothing playing: the boxes stay as they are.
    position_.reset();
    controller_->Bar().OnCommand(CLyricDlg::IDC_SEARCH);
    EXPECT_EQ(search.TitleEdit().text(), "");
    EXPECT_EQ(search.Status().text(), "");
    search.UseSelected();
    EXPECT_EQ(search.State(), LyricSearchState::kNoSong);
    controller_->Bar().OnCommand(CLyricDlg::IDC_SEARCH);
    ASSERT_FALSE(search.isVisible());

    // A song without tags yet: its file name; with tags: title and artist.
    position_ = 0;
    controller_->SongStarted("/music/track07.mp3");
    controller_->Bar().OnCommand(CLyricDlg::IDC_SEARCH);
    EXPECT_EQ(search.TitleEdit().text(), "track07");
    EXPECT_EQ(search.ArtistEdit().text(), "");
    controller_->Bar().OnCommand(CLyricDlg::IDC_SEARCH);
    known = &tags;
    controller_->SongStarted("/music/track08.mp3");
    controller_->Bar().OnCommand(CLyricDlg::IDC_SEARCH);
    EXPECT_EQ(search.TitleEdit().text(), "晴天");
    EXPECT_EQ(search.ArtistEdit().text(), "周杰伦");
    // What the user typed stays while the same song plays.
    search.ArtistEdit().setText(QStringLiteral("Jay"));
    controller_->Bar().OnCommand(CLyricDlg::IDC_SEARCH);
    controller_->Bar().OnCommand(CLyricDlg::IDC_SEARCH);
    EXPECT_EQ(search.ArtistEdit().text(), "Jay");
    search.ArtistEdit().clear();

    QSignalSpy shown(&search, &CLyricSearchDlg::ResultsShown);
    {
        Lyricsd server;
        server.AddSong("a.lrc", "[ti:晴天]\n[ar:周杰伦]\n[00:01.50]故事的小黄花\n");
        server.AddSong("b.lrc", "[ti:晴天]\n[ar:Other]\n[00:02.50]另一版\n");
        search.Search();
        EXPECT_EQ(search.State(), LyricSearchState::kSearching);
        EXPECT_EQ(search.Status().text(), "正在搜索歌词…");
        ASSERT_TRUE(shown.wait(5000));
        EXPECT_EQ(search.State(), LyricSearchState::kFound);
        EXPECT_EQ(search.Status().text(), QStringLiteral("找到 2 个结果，选中后点“使用”"));

        search.Results().selectRow(0);
        search.UseSelected();
        EXPECT_EQ(search.State(), LyricSearchState::kSaved);
        EXPECT_EQ(search.Status().text().toStdString(),
                  "歌词已保存到 " + (LyricsFolder() / "track08.lrc").string());
        ASSERT_TRUE(finished.wait(5000));

        search.TitleEdit().setText(QStringLiteral("没有这首歌"));
        search.Search();
        ASSERT_TRUE(shown.wait(5000));
        EXPECT_EQ(search.State(), LyricSearchState::kNothingFound);
        EXPECT_EQ(search.Results().rowCount(), 0);
    }

    // A server that never answers: said so after a few seconds, the window alive meanwhile.
    SilentServer silent;
    QElapsedTimer clock;
    clock.start();
    search.Search();
    EXPECT_LT(clock.elapsed(), 500);
    QTimer probe;
    QSignalSpy fired(&probe, &QTimer::timeout);
    probe.start(100);
    ASSERT_TRUE(shown.wait(9000));
    EXPECT_EQ(search.State(), LyricSearchState::kNoAnswer);
    EXPECT_EQ(search.Status().text(), "歌词服务器没有响应，请稍后再试");
    EXPECT_GE(clock.elapsed(), 4000);
    EXPECT_LT(clock.elapsed(), 8500);
    EXPECT_GE(fired.size(), 20) << "the interface went on meanwhile";
}

TEST_F(LyricsWindows, BarKeepsItsSettingsGroup) {
    CLyricDlg& bar = controller_->Bar();
    CLyricsWindow& window = controller_->Window();
    EXPECT_EQ(window.FontSize(), 50);
    bar.OnCommand(CLyricDlg::IDC_FONT_UP);
    bar.OnCommand(CLyricDlg::IDC_FONT_UP);
    EXPECT_EQ(window.FontSize(), 55);
    for (int i = 0; i < 7; ++i) {
        bar.OnCommand(CLyricDlg::IDC_FONT_DOWN);
    }
    EXPECT_EQ(window.FontSize(), 30);

    QSignalSpy showRequested(&bar, &CLyricDlg::ShowRequested);
    Json::Value group;
    group["FontSize"] = 60;
    group["colorNum"] = 0;
    group["isDouble"] = 1;
    group["isShow"] = 1;
    bar.ApplySettings(group);
    EXPECT_EQ(window.FontSize(), 55);
    EXPECT_TRUE(bar.m_bDoubleLine);
    EXPECT_EQ(showRequested.size(), 1);
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(window.Renderer().Style().normalTop, QColor(255, 0, 0)) << "default colours kept";
    EXPECT_EQ(window.Renderer().Text(), QString::fromUtf8(CLyricDlg::kIdleLine));
    Json::Value saved;
    bar.FillSettings(saved);
    EXPECT_EQ(saved["colorNum"].asInt(), 3);
    EXPECT_EQ(saved["isDouble"].asInt(), 1);
    EXPECT_EQ(saved["FontSize"].asInt(), 55);
    EXPECT_EQ(saved["isShow"].asInt(), 1);

    bar.ApplyColorScheme(6605);
    EXPECT_EQ(window.Renderer().Style().normalTop, QColor(1, 191, 135));
    EXPECT_EQ(window.Renderer().Style().highBottom, QColor(115, 255, 39));
    EXPECT_EQ(window.Renderer().Style().normalBrush, 1);
    EXPECT_EQ(bar.m_nColorScheme, 5);

    bar.OnCommand(CLyricDlg::IDC_LOCK);
    EXPECT_TRUE(window.m_bLocked);
}

TEST_F(LyricsWindows, TwoLinesAtTheLargestFontFitAndTheWindowStaysInsideTheScreen) {
    CLyricsWindow& window = controller_->Window();
    CLyricDlg& bar = controller_->Bar();
    controller_->SetShown(true);
    const QRect work = window.screen()->availableGeometry();
    const auto wholeTextShown = [&] {
        // Nothing drawn on the first or last row: no letter, outline or shadow is cut off.
        const QImage& frame = const_cast<LyricsRenderer&>(window.Renderer()).Frame(1000);
        for (const int y : {0, frame.height() - 1}) {
            for (int x = 0; x < frame.width(); ++x) {
                if (qAlpha(frame.pixel(x, y)) != 0) {
                    return false;
                }
            }
        }
        return window.Renderer().TextBox().top() >= 0 &&
               window.Renderer().TextBox().bottom() <= window.height();
    };
    // The small font keeps the window's 120 pixels.
    for (int i = 0; i < 5; ++i) {
        bar.OnCommand(CLyricDlg::IDC_FONT_DOWN);
    }
    EXPECT_EQ(window.FontSize(), 30);
    EXPECT_EQ(window.height(), CLyricsWindow::kHeight);
    for (int i = 0; i < 5; ++i) {
        bar.OnCommand(CLyricDlg::IDC_FONT_UP);
    }
    ASSERT_EQ(window.FontSize(), 55);
    window.SetLyricText(std::string("故事的小黄花\r\n            从出生那年就飘着"), 0);
    EXPECT_GT(window.height(), CLyricsWindow::kHeight);
    EXPECT_TRUE(wholeTextShown());
    EXPECT_TRUE(work.contains(window.geometry()));
    EXPECT_EQ(window.geometry().bottom(), work.bottom()) << "grown upwards";
    EXPECT_EQ(bar.geometry().bottom() + 1, window.y()) << "the bar stays above";

    // Dragged half off the screen at a small font, a larger font brings it back inside.
    for (int i = 0; i < 5; ++i) {
        bar.OnCommand(CLyricDlg::IDC_FONT_DOWN);
    }
    window.m_bSelfMoving = true;
    window.move(window.x(), work.bottom() - 60);
    window.m_bSelfMoving = false;
    Json::Value group;
    group["FontSize"] = 55;
    bar.ApplySettings(group);
    window.SetLyricText(std::string("故事的小黄花\r\n            从出生那年就飘着"), 0);
    EXPECT_TRUE(work.contains(window.geometry()));
    EXPECT_TRUE(wholeTextShown());
}

TEST_F(LyricsWindows, TheWindowIsDrawnAtTheConstantAlpha) {
    CLyricsWindow& window = controller_->Window();
    window.SetLyricText(std::string("测试"), 1000);
    const QImage picture = window.grab().toImage().convertToFormat(QImage::Format_ARGB32);
    int strongest = 0;
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            strongest = std::max(strongest, qAlpha(picture.pixel(x, y)));
        }
    }
    EXPECT_NEAR(strongest, 100, 1);
}

TEST_F(LyricsWindows, WindowAndBarMoveTogether) {
    CLyricDlg& bar = controller_->Bar();
    CLyricsWindow& window = controller_->Window();
    controller_->SetShown(true);
    EXPECT_EQ(bar.geometry().bottom() + 1, window.y());
    window.m_bSelfMoving = true;
    window.move(100, 300);
    QApplication::processEvents();
    EXPECT_EQ(bar.x(), 100 + (window.width() - bar.width()) / 2);
    EXPECT_EQ(bar.y(), 300 - bar.height());
    window.m_bSelfMoving = false;
    bar.move(bar.x() + 30, bar.y() - 40);
    QApplication::processEvents();
    EXPECT_EQ(window.pos(), QPoint(130, 260));
}

// Where the windowing system places every window itself (Wayland), the bar is held inside the
// lyrics window, along its top: drawn there above the lines, and back at a press on the lines
// once its own close button hid it.
TEST_F(LyricsWindows, AHeldBarLiesAboveTheLinesInsideTheWindow) {
    CLyricsWindow window;
    CLyricSearchDlg search;
    CLyricDlg bar(window, search);
    window.Create();
    const int width = window.width();
    const int lines = window.height();
    window.HoldBar(bar);
    EXPECT_EQ(window.size(), QSize(width, lines + bar.height()));
    EXPECT_EQ(bar.parentWidget(), &window);
    EXPECT_EQ(bar.pos(), QPoint((width - bar.width()) / 2, 0));
    window.SetLyricText(std::string("测试测试测试测试测试"), 0);
    window.show();
    QApplication::processEvents();
    const QImage picture = window.grab().toImage().convertToFormat(QImage::Format_ARGB32);
    // The lines' lowest row, in the window outside the bar and in the renderer's own frame.
    auto lowest = [](const QImage& image, const QRect& left) {
        int row = -1;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                if (!left.contains(x, y) && qAlpha(image.pixel(x, y)) > 0) {
                    row = y;
                }
            }
        }
        return row;
    };
    LyricsRenderer renderer = window.Renderer();
    const int framed = lowest(renderer.Frame(0), QRect());
    ASSERT_GT(framed, 0);
    EXPECT_EQ(lowest(picture, bar.geometry()), framed + bar.height());
    // The bar is opaque, as it is as a window of its own.
    EXPECT_EQ(qAlpha(picture.pixel(bar.x() + 30, bar.height() / 2)), 255);

    bar.OnCommand(CLyricDlg::IDC_CLOSE);
    QApplication::processEvents();
    EXPECT_FALSE(bar.isVisible());
    QTest::mousePress(&window, Qt::LeftButton, Qt::NoModifier, QPoint(20, window.height() - 20));
    QTest::mouseRelease(&window, Qt::LeftButton, Qt::NoModifier, QPoint(20, window.height() - 20));
    EXPECT_TRUE(bar.isVisible());
}

// A move the bar got while hidden reaches it as part of its next show (Qt 6.8 delivers it on the
// first one). The window follows such a move, but the move must not show the bar: that show would
// run inside the one under way and deliver the move again, without end.
TEST_F(LyricsWindows, AMoveOfTheBarBringsTheWindowWithoutShowingTheBar) {
    CLyricDlg& bar = controller_->Bar();
    CLyricsWindow& window = controller_->Window();
    controller_->SetShown(true);
    bar.hide();
    const QPoint at = bar.pos() + QPoint(40, -30);
    bar.move(at);
    QMoveEvent delivered(at, at);
    QApplication::sendEvent(&bar, &delivered);
    EXPECT_FALSE(bar.isVisible());
    EXPECT_EQ(window.pos(),
              QPoint(at.x() - (window.width() - bar.width()) / 2, at.y() + bar.height()));
    // Shown again, with the move still to be delivered.
    bar.move(at + QPoint(10, 10));
    controller_->SetShown(true);
    EXPECT_TRUE(bar.isVisible());
    EXPECT_EQ(window.pos(),
              QPoint(at.x() + 10 - (window.width() - bar.width()) / 2, at.y() + 10 + bar.height()));
}

// A drag of the window handed to the window manager gets its release at once, while the window
// manager goes on moving the window: the bar keeps following.
TEST_F(LyricsWindows, TheBarFollowsTheWindowAfterThePressAndReleaseThatStartADrag) {
    CLyricDlg& bar = controller_->Bar();
    CLyricsWindow& window = controller_->Window();
    controller_->SetShown(true);
    QTest::mousePress(&window, Qt::LeftButton, Qt::NoModifier, QPoint(20, 20));
    QTest::mouseRelease(&window, Qt::LeftButton, Qt::NoModifier, QPoint(20, 20));
    window.move(200, 350);
    QApplication::processEvents();
    EXPECT_EQ(bar.pos(), QPoint(200 + (window.width() - bar.width()) / 2, 350 - bar.height()));
    // A press on the bar makes it lead.
    QTest::mousePress(&bar, Qt::LeftButton, Qt::NoModifier, QPoint(2, 2));
    QTest::mouseRelease(&bar, Qt::LeftButton, Qt::NoModifier, QPoint(2, 2));
    bar.move(bar.x() - 50, bar.y() + 10);
    QApplication::processEvents();
    EXPECT_EQ(window.pos(), QPoint(150, 360));
}

TEST_F(LyricsWindows, AClickOnTheLockedWindowLeavesTheBarInPlace) {
    CLyricDlg& bar = controller_->Bar();
    CLyricsWindow& window = controller_->Window();
    controller_->SetShown(true);
    // The window led last, so a move of it would take the bar along.
    QTest::mousePress(&window, Qt::LeftButton, Qt::NoModifier, QPoint(20, 20));
    QTest::mouseRelease(&window, Qt::LeftButton, Qt::NoModifier, QPoint(20, 20));
    bar.OnCommand(CLyricDlg::IDC_LOCK);
    const QPoint barAt = bar.pos();
    QTest::mousePress(&window, Qt::LeftButton, Qt::NoModifier, QPoint(300, 60));
    QApplication::processEvents();
    EXPECT_EQ(bar.pos(), barAt);
    EXPECT_TRUE(bar.isVisible());
}

TEST_F(LyricsWindows, TheProgramsDialogsComeAboveTheLyricsWhileUp) {
    controller_->SetShown(true);
    QApplication::processEvents();
    const auto onTop = [this] {
        return controller_->Window().windowHandle()->flags().testFlag(Qt::WindowStaysOnTopHint) &&
               controller_->Bar().windowHandle()->flags().testFlag(Qt::WindowStaysOnTopHint);
    };
    ASSERT_TRUE(onTop());
    QWidget owner;
    QDialog chooser(&owner);
    chooser.show();
    QApplication::processEvents();
    EXPECT_FALSE(controller_->Window().windowHandle()->flags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_FALSE(controller_->Bar().windowHandle()->flags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(controller_->Window().isVisible()) << "dropping a layer must not hide them";
    chooser.hide();
    QApplication::processEvents();
    EXPECT_TRUE(onTop());

    QWidget plainWindow;  // the main window or the pad: not a dialog over the lyrics
    plainWindow.show();
    controller_->Search().show();
    QApplication::processEvents();
    EXPECT_FALSE(onTop()) << "the lyrics search is a dialog of the program too";
    controller_->Search().hide();
    QApplication::processEvents();
    EXPECT_TRUE(onTop());
}

}  // namespace
