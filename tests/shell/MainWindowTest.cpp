#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QTemporaryDir>
#include <QTimer>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "CBitmapSlider.h"
#include "CCatListBox.h"
#include "CDisplaySetDlg.h"
#include "CMervalaDlg.h"
#include "CMusicDlg.h"
#include "CSpecialDlg.h"
#include "CXiaoXiTiShi.h"
#include "CYinxiaoDlg.h"
#include "CameraDiscovery.h"
#include "MainWindowFixture.h"
#include "UserFolders.h"
#include "lyrics/Lyricsd.h"
#include "music/SongFiles.h"

namespace {

std::string Where(const QWidget* widget) {
    const QRect box = widget->geometry();
    return QString("%1 at %2,%3 %4x%5")
        .arg(widget->metaObject()->className())
        .arg(box.x())
        .arg(box.y())
        .arg(box.width())
        .arg(box.height())
        .toStdString();
}

// The slider of the window with the control id `id`.
CBitmapSlider& Slider(CMervalaDlg& dialog, int id) {
    for (CBitmapSlider* slider : dialog.findChildren<CBitmapSlider*>()) {
        if (slider->GetDlgCtrlID() == id) {
            return *slider;
        }
    }
    throw std::runtime_error("no slider " + std::to_string(id));
}

// The sound pad, a window of its own.
CYinxiaoDlg* SoundPadOf() {
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (auto* pad = qobject_cast<CYinxiaoDlg*>(window)) {
            return pad;
        }
    }
    return nullptr;
}

void SendKey(QWidget& target, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QKeyEvent press(QEvent::KeyPress, key, modifiers);
    QApplication::sendEvent(&target, &press);
}

}  // namespace

TEST_F(MainWindowTest, StartsWithTheBroadcastViewTheDisplayPanelAndTheVolumeInTheMiddle) {
    CMervalaDlg dialog(ZAVREO_BIN_DIR);
    ASSERT_TRUE(dialog.OnInitDialog());
    dialog.show();
    EXPECT_EQ(dialog.windowTitle(), "Zavreo");
    EXPECT_TRUE(dialog.Codec().Loaded());

    EXPECT_TRUE(dialog.findChild<CDisplaySetDlg*>()->isVisible());
    EXPECT_FALSE(dialog.findChild<CSpecialDlg*>()->isVisible());
    EXPECT_FALSE(dialog.findChild<CMusicDlg*>()->isVisible());
    EXPECT_TRUE(dialog.Button(CMervalaDlg::IDC_TAB_DISPLAY)->IsSelected());
    EXPECT_TRUE(dialog.Button(CMervalaDlg::IDC_TAB_BROADCAST)->IsSelected());
    EXPECT_FALSE(dialog.Button(CMervalaDlg::IDC_TAB_SONGS)->IsSelected());
    EXPECT_TRUE(dialog.Button(CMervalaDlg::IDC_CAMERA_ON)->isVisible());
    EXPECT_FALSE(dialog.Button(CMervalaDlg::IDC_CAMERA_OFF)->isVisible());
    EXPECT_TRUE(dialog.Button(CMervalaDlg::IDC_OPEN_CAMERA)->isVisible());
    EXPECT_FALSE(dialog.Button(CMervalaDlg::IDC_VOCAL)->isVisible());
    EXPECT_FALSE(dialog.Button(CMervalaDlg::IDC_PLAY_MODE)->isVisible());
    EXPECT_FALSE(dialog.findChild<CCatListBox*>()->isVisible());

    EXPECT_EQ(Slider(dialog, CMervalaDlg::IDC_VOLUME).GetPos(), 500);
    EXPECT_EQ(dialog.Music().Volume(), 500);
    EXPECT_EQ(dialog.Music().Mode(), 2);
    EXPECT_FALSE(SoundPadOf()->isVisible());
}

TEST_F(MainWindowTest, NoVisibleControlCoversAnother) {
    CMervalaDlg dialog(ZAVREO_BIN_DIR);
    ASSERT_TRUE(dialog.OnInitDialog());
    dialog.show();
    std::vector<QWidget*> controls;
    for (QWidget* child : dialog.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        // Sliders are left out: their boxes are taller than the channel they draw.
        const bool control =
            qobject_cast<CPngButton*>(child) != nullptr || qobject_cast<QLabel*>(child) != nullptr;
        if (control && child->isVisible()) {
            controls.push_back(child);
        }
    }
    ASSERT_GE(controls.size(), 13u);
    for (size_t i = 0; i < controls.size(); ++i) {
        EXPECT_TRUE(dialog.rect().contains(controls[i]->geometry())) << Where(controls[i]);
        for (size_t j = i + 1; j < controls.size(); ++j) {
            EXPECT_FALSE(controls[i]->geometry().intersects(controls[j]->geometry()))
                << Where(controls[i]) << " / " << Where(controls[j]);
        }
    }
}

TEST_F(MainWindowTest, ViewsAndTabsShowTheirPartsOnly) {
    CMervalaDlg dialog(ZAVREO_BIN_DIR);
    ASSERT_TRUE(dialog.OnInitDialog());
    dialog.show();

    dialog.OnCommand(CMervalaDlg::IDC_TAB_SONGS);
    EXPECT_TRUE(dialog.findChild<CCatListBox*>()->isVisible());
    for (int id : {CMervalaDlg::IDC_CAMERA_ON, CMervalaDlg::IDC_CAMERA_OFF, CMervalaDlg::IDC_RECORD,
                   CMervalaDlg::IDC_PHOTO, CMervalaDlg::IDC_PAD, CMervalaDlg::IDC_OPEN_CAMERA}) {
        EXPECT_FALSE(dialog.Button(id)->isVisible()) << id;
    }
    EXPECT_TRUE(dialog.Button(CMervalaDlg::IDC_TAB_SONGS)->IsSelected());
    EXPECT_FALSE(dialog.Button(CMervalaDlg::IDC_TAB_BROADCAST)->IsSelected());

    dialog.OnCommand(CMervalaDlg::IDC_TAB_BROADCAST);
    EXPECT_FALSE(dialog.findChild<CCatListBox*>()->isVisible());
    for (int id : {CMervalaDlg::IDC_CAMERA_ON, CMervalaDlg::IDC_RECORD, CMervalaDlg::IDC_PHOTO,
                   CMervalaDlg::IDC_PAD, CMervalaDlg::IDC_OPEN_CAMERA}) {
        EXPECT_TRUE(dialog.Button(id)->isVisible()) << id;
    }
    EXPECT_FALSE(dialog.Button(CMervalaDlg::IDC_CAMERA_OFF)->isVisible());

    dialog.OnCommand(CMervalaDlg::IDC_TAB_MUSIC);
    EXPECT_TRUE(dialog.findChild<CMusicDlg*>()->isVisible());
    EXPECT_FALSE(dialog.findChild<CDisplaySetDlg*>()->isVisible());
    EXPECT_TRUE(dialog.Button(CMervalaDlg::IDC_TAB_MUSIC)->IsSelected());
    EXPECT_FALSE(dialog.Button(CMervalaDlg::IDC_TAB_DISPLAY)->IsSelected());
    dialog.OnCommand(CMervalaDlg::IDC_TAB_EFFECTS);
    EXPECT_TRUE(dialog.findChild<CSpecialDlg*>()->isVisible());
    EXPECT_FALSE(dialog.findChild<CMusicDlg*>()->isVisible());
    EXPECT_FALSE(dialog.Button(CMervalaDlg::IDC_TAB_MUSIC)->IsSelected());

    dialog.OnCommand(CMervalaDlg::IDC_PAD);
    EXPECT_TRUE(SoundPadOf()->isVisible());
    dialog.OnCommand(CMervalaDlg::IDC_PAD);
    EXPECT_FALSE(SoundPadOf()->isVisible());
}

TEST_F(MainWindowTest, EnterAndEscapeNeverCloseItTheCloseButtonHidesIt) {
    CMervalaDlg dialog(ZAVREO_BIN_DIR);
    ASSERT_TRUE(dialog.OnInitDialog());
    bool ended = false;
    QObject::connect(&dialog, &QDialog::finished, [&] { ended = true; });
    dialog.show();
    for (int key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
        SendKey(dialog, key);
    }
    QApplication::processEvents();
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_FALSE(ended);

    dialog.Button(CMervalaDlg::IDC_CLOSE)->click();
    QApplication::processEvents();
    if (QSystemTrayIcon::isSystemTrayAvailable()) {
        EXPECT_FALSE(dialog.isVisible());
        EXPECT_FALSE(ended);
        dialog.TrayMenu().actions()[0]->trigger();
        EXPECT_TRUE(dialog.isVisible());
    } else {
        // No tray to come back from nor to choose "退出" in: closing ends the program, saved.
        EXPECT_TRUE(SpinUntil([&] { return ended; }));
        EXPECT_TRUE(std::filesystem::exists(Config() / "config.lst"));
    }
}

TEST_F(MainWindowTest, DraggingTheBodyMovesTheWindow) {
    CMervalaDlg dialog(ZAVREO_BIN_DIR);
    ASSERT_TRUE(dialog.OnInitDialog());
    dialog.show();
    const QPointF start(700, 30);
    const QPointF global = dialog.mapToGlobal(start);
    QMouseEvent press(QEvent::MouseButtonPress, start, global, Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(&dialog, &press);
    QMouseEvent move(QEvent::MouseMove, start + QPointF(50, 40), global + QPointF(50, 40),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&dialog, &move);
    EXPECT_EQ(dialog.pos(), QPoint(50, 40));

    // Released, the window stays where it is, whatever the pointer does next.
    QMouseEvent release(QEvent::MouseButtonRelease, start + QPointF(50, 40),
                        global + QPointF(50, 40), Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(&dialog, &release);
    QMouseEvent wander(QEvent::MouseMove, start + QPointF(200, 100), global + QPointF(200, 100),
                       Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(&dialog, &wander);
    EXPECT_EQ(dialog.pos(), QPoint(50, 40));
}

TEST_F(MainWindowTest, PadKeysPlayWhileAnotherWindowOfTheProgramHasTheFocus) {
    CMervalaDlg dialog(ZAVREO_BIN_DIR);
    ASSERT_TRUE(dialog.OnInitDialog());
    dialog.show();
    auto* field = new QLineEdit(&dialog);
    field->show();
    SendKey(dialog, Qt::Key_2);
    EXPECT_EQ(SoundPadOf()->LastSound(), 0);  // pad not shown

    dialog.OnCommand(CMervalaDlg::IDC_PAD);
    ASSERT_TRUE(SoundPadOf()->isVisible());
    SendKey(dialog, Qt::Key_2);
    EXPECT_EQ(SoundPadOf()->LastSound(), 2);
    SendKey(*dialog.Button(CMervalaDlg::IDC_RECORD), Qt::Key_6, Qt::KeypadModifier);
    EXPECT_EQ(SoundPadOf()->LastSound(), 6);
    // In a text field a digit is typed, not played.
    QKeyEvent typed(QEvent::KeyPress, Qt::Key_8, Qt::NoModifier, QStringLiteral("8"));
    QApplication::sendEvent(field, &typed);
    EXPECT_EQ(SoundPadOf()->LastSound(), 6);
    EXPECT_EQ(field->text(), "8");

    SoundPadOf()->ToggleShortcuts();
    SendKey(dialog, Qt::Key_3);
    EXPECT_EQ(SoundPadOf()->LastSound(), 6);
}

TEST_F(MainWindowTest, SettingsLoadAtStartAndExitOrAWindowCloseWritesThem) {
    std::filesystem::create_directories(Config());
    std::ofstream(Config() / "config.lst") << R"({"Filter":[{"4":1}],"m_Lyric":[{"isShow":1}]})"
                                           << "\n";
    auto filterOf = [](CMervalaDlg& dialog) -> CSpecialFilter& {
        return dialog.findChild<CSpecialDlg*>()->Filter();
    };
    // Groups missing from the file load as zeros and are written whole.
    const std::string zeros =
        R"("Text":[{"bkcolor":0,"bkdegree":0,"color":0,"direction":0,"font":0,"isChose":0,)"
        R"("pos":0,"size":0,"text":""}],)"
        R"("White":[{"MeiBai":0,"MoPi":0,"ShouShen":0,"isMeiBai":0,"isMoPi":0,"isShouShen":0}],)";
    // The saved "isShow" brought the desktop lyrics up, and the lyrics bar writes its whole group.
    const std::string kLyricGroup =
        R"("m_Lyric":[{"FontSize":50,"colorNum":3,"isDouble":0,"isShow":1}]})"
        "\n";
    {
        // Alt+F4 or the window manager's close: the program ends, so it saves as "退出" does.
        CMervalaDlg dialog(ZAVREO_BIN_DIR);
        ASSERT_TRUE(dialog.OnInitDialog());
        EXPECT_EQ(filterOf(dialog).Active().Entries(), std::vector<int>{4});
        bool ended = false;
        QObject::connect(&dialog, &QDialog::finished, [&] { ended = true; });
        filterOf(dialog).Thumbnail(3).click();
        dialog.show();
        dialog.close();
        EXPECT_TRUE(SpinUntil([&] { return ended; }));
        EXPECT_EQ(ReadAll(Config() / "config.lst"),
                  R"({"Deco":[{"1":0,"2":0,"3":0,"4":0,"5":0}],)"
                  R"("Filter":[{"1":0,"2":0,"3":1,"4":1,"5":0}],)" +
                      zeros + kLyricGroup);
    }
    CMervalaDlg dialog(ZAVREO_BIN_DIR);
    ASSERT_TRUE(dialog.OnInitDialog());
    EXPECT_EQ(filterOf(dialog).Active().Entries(), (std::vector<int>{3, 4}));
    bool ended = false;
    QObject::connect(&dialog, &QDialog::finished, [&] { ended = true; });
    dialog.hide();  // in the tray
    filterOf(dialog).Thumbnail(2).click();
    const QList<QAction*> items = dialog.TrayMenu().actions();
    ASSERT_EQ(items.size(), 2);
    // Dark like the window, not the desktop's light default.
    dialog.TrayMenu().ensurePolished();
    dialog.TrayMenu().adjustSize();
    const QImage menu = dialog.TrayMenu().grab().toImage();
    EXPECT_LT(menu.pixelColor(menu.width() / 2, 2).lightness(), 80);
    EXPECT_EQ(items[0]->text(), "打开主界面");
    EXPECT_EQ(items[1]->text(), "退出");
    items[1]->trigger();
    EXPECT_FALSE(dialog.Codec().Loaded());
    EXPECT_TRUE(SpinUntil([&] { return ended; }));
    EXPECT_EQ(ReadAll(Config() / "config.lst"), R"({"Deco":[{"1":0,"2":0,"3":0,"4":0,"5":0}],)"
                                                R"("Filter":[{"1":0,"2":1,"3":1,"4":1,"5":0}],)" +
                                                    zeros + kLyricGroup);
}

TEST_F(MainWindowTest, DecliningAMandatoryUpdateEndsTheStartWithTheTwoMessages) {
    server_.SetReply(TestHttpServer::Reply(R"({"isMustUpdate":1,"updatetime":18})"));
    std::vector<QString> shown;
    // Answers each message box as it comes up: Cancel to the question, OK to the notice.
    answersMessages_ = true;
    QTimer answerer;
    QObject::connect(&answerer, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr) {
            return;
        }
        shown.push_back(box->windowTitle() + "|" + box->text());
        const QPoint offCentre =
            box->geometry().center() - box->screen()->availableGeometry().center();
        EXPECT_LE(offCentre.manhattanLength(), 2);
        for (const auto which : {QMessageBox::Ok, QMessageBox::Cancel}) {
            if (const QAbstractButton* button = box->button(which)) {
                shown.back() += "|" + button->text();
            }
        }
        QAbstractButton* cancel = box->button(QMessageBox::Cancel);
        (cancel != nullptr ? cancel : box->button(QMessageBox::Ok))->click();
    });
    answerer.start(20);
    CMervalaDlg dialog(ZAVREO_BIN_DIR);
    EXPECT_FALSE(dialog.OnInitDialog());
    answerer.stop();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0], "Zavreo直播助手更新提示|发现Zavreo直播助手新版本，是否升级|确定|取消");
    EXPECT_EQ(shown[1].section('|', 1), "Zavreo直播助手必须升级后方可使用|确定");
    EXPECT_FALSE(dialog.Codec().Loaded());
    EXPECT_FALSE(std::filesystem::exists(Config() / "config.lst"));
}

TEST(SoundPad, NumberKeysPlayOnlyWhileShownAndSwitchedOn) {
    QTemporaryDir empty;
    CYinxiaoDlg pad(empty.path().toStdString(), "fakesink");
    EXPECT_TRUE(pad.ShortcutsOn());
    SendKey(pad, Qt::Key_3);
    EXPECT_EQ(pad.LastSound(), 0);

    pad.show();
    SendKey(pad, Qt::Key_3);
    EXPECT_EQ(pad.LastSound(), 3);
    SendKey(pad, Qt::Key_5, Qt::KeypadModifier);
    EXPECT_EQ(pad.LastSound(), 5);
    SendKey(pad, Qt::Key_0);
    SendKey(pad, Qt::Key_A);
    EXPECT_EQ(pad.LastSound(), 5);

    pad.ToggleShortcuts();
    SendKey(pad, Qt::Key_7);
    EXPECT_EQ(pad.LastSound(), 5);
    pad.SoundButton(7).click();
    EXPECT_EQ(pad.LastSound(), 7);

    SendKey(pad, Qt::Key_Escape);
    EXPECT_TRUE(pad.isVisible());

    // The grid sits with even margins left and right.
    const QRect grid = pad.SoundButton(1).geometry().united(pad.SoundButton(9).geometry());
    EXPECT_LE(std::abs(grid.left() - (pad.width() - 1 - grid.right())), 1);
}

TEST_F(MainWindowTest, TheCameraButtonsFollowTheCamera) {
    qputenv("ZAVREO_TEST_CAMERA", "1");
    CMervalaDlg dialog(ZAVREO_BIN_DIR);
    ASSERT_TRUE(dialog.OnInitDialog());
    dialog.show();
    dialog.Button(CMervalaDlg::IDC_CAMERA_ON)->click();
    EXPECT_TRUE(
        SpinUntil([&] { return dialog.Button(CMervalaDlg::IDC_CAMERA_OFF)->isVisible(); }, 15000));
    EXPECT_TRUE(dialog.Button(CMervalaDlg::IDC_CAMERA_OFF)->isVisible());
    EXPECT_FALSE(dialog.Button(CMervalaDlg::IDC_CAMERA_ON)->isVisible());
    EXPECT_FALSE(dialog.Button(CMervalaDlg::IDC_OPEN_CAMERA)->isVisible());

    dialog.Button(CMervalaDlg::IDC_CAMERA_OFF)->click();
    EXPECT_FALSE(dialog.Button(CMervalaDlg::IDC_CAMERA_OFF)->isVisible());
    EXPECT_TRUE(dialog.Button(CMervalaDlg::IDC_CAMERA_ON)->isVisible());
    EXPECT_TRUE(dialog.Button(CMervalaDlg::IDC_OPEN_CAMERA)->isVisible());
    qunsetenv("ZAVREO_TEST_CAMERA");
}

TEST_F(MainWindowTest, TheRecordButtonStaysPressedFromTheClickUntilTheRecordingRuns) {
    qputenv("ZAVREO_TEST_CAMERA", "1");
    CMervalaDlg dialog(ZAVREO_BIN_DIR);
    ASSERT_TRUE(dialog.OnInitDialog());
    dialog.show();
    dialog.Button(CMervalaDlg::IDC_CAMERA_ON)->click();
    ASSERT_TRUE(
        SpinUntil([&] { return dialog.Button(CMervalaDlg::IDC_CAMERA_OFF)->isVisible(); }, 15000));
    QAbstractButton* record = dialog.Button(CMervalaDlg::IDC_RECORD);
    record->click();
    // Before the event loop runs again: the click alone shows it.
    EXPECT_TRUE(record->isDown());
    EXPECT_EQ(record->cursor().shape(), Qt::BusyCursor);
    EXPECT_TRUE(SpinUntil([&] { return !record->isDown(); }, 15000));
    EXPECT_NE(record->cursor().shape(), Qt::BusyCursor);
    record->click();
    EXPECT_FALSE(record->isDown()) << "a stop click shows no starting state";
    qunsetenv("ZAVREO_TEST_CAMERA");
}

TEST_F(MainWindowTest, TheBigOpenButtonStaysHiddenWhileTheSlideshowSkipsAPicture) {
    CMervalaDlg dialog(ZAVREO_BIN_DIR);
    ASSERT_TRUE(dialog.OnInitDialog());
    dialog.show();
    QStringList files;
    for (const char* name : {"/gone.png", "/kept.png"}) {
        QImage picture(64, 48, QImage::Format_RGB32);
        picture.fill(Qt::green);
        files << home_.path() + name;
        ASSERT_TRUE(picture.save(files.back()));
    }
    CDisplayPic& pictures = dialog.findChild<CDisplaySetDlg*>()->PicturePanel();
    pictures.AddPictures(files);
    ASSERT_TRUE(SpinUntil([&] { return pictures.Box().List().Pending() == 0; }));
    std::filesystem::remove(files[0].toStdString());
    pictures.ToggleSlideshow();
    ASSERT_TRUE(pictures.Showing());
    EXPECT_FALSE(dialog.Button(CMervalaDlg::IDC_OPEN_CAMERA)->isVisible());
    pictures.ShowNextPicture();
    EXPECT_FALSE(dialog.Button(CMervalaDlg::IDC_OPEN_CAMERA)->isVisible());
    pictures.ToggleSlideshow();
    EXPECT_TRUE(dialog.Button(CMervalaDlg::IDC_OPEN_CAMERA)->isVisible());
}

TEST_F(MainWindowTest, LyricsThatArriveWhileTheSongIsPausedWaitForItsResumption) {
    Lyricsd server;
    ASSERT_TRUE(server.Running());
    server.AddSong("night.lrc", "[ti:night]\n[00:01.00]one\n[00:02.00]two\n");
    const std::filesystem::path songs = home_.path().toStdString() + "/songs";
    std::filesystem::create_directories(songs);
    const std::filesystem::path song = songs / "夜曲.mp3";
    ASSERT_TRUE(testsongs::MakeSong(song, 4, "libmp3lame"));
    std::string tag(128, '\0');
    tag.replace(0, 8, "TAGnight");
    std::ofstream(song, std::ios::binary | std::ios::app) << tag;
    std::filesystem::create_directories(Config());
    std::ofstream(Config() / "music.lst")
        << R"({"list":[{"isopen":true,"listname":"默认列表","musiclist":[{"path":")" +
               song.string() + R"("}],"musicnum":1}],"num":1})"
        << "\n";

    CMervalaDlg dialog(ZAVREO_BIN_DIR);
    ASSERT_TRUE(dialog.OnInitDialog());
    dialog.show();
    QTimer& lyricTimer = dialog.Timer(CMervalaDlg::kLyricTimer);
    dialog.OnCommand(CMervalaDlg::IDC_PLAY);
    ASSERT_TRUE(dialog.Music().IsPlaying());
    dialog.OnCommand(CMervalaDlg::IDC_PLAY);
    ASSERT_EQ(dialog.Music().PlayStateValue(), zavreo::PlayPaused);
    const std::filesystem::path lyrics = zavreo::LyricsFolder() / "夜曲.lrc";
    ASSERT_TRUE(SpinUntil([&] { return std::filesystem::exists(lyrics); }, 8000));
    SpinUntil([] { return false; }, 500);  // the answer lands on this thread
    EXPECT_FALSE(lyricTimer.isActive());
    dialog.OnCommand(CMervalaDlg::IDC_PLAY);
    EXPECT_TRUE(lyricTimer.isActive());
    dialog.OnExitCommand();
}

TEST_F(MainWindowTest, AcceptingTheUpdateStartsTheUpdaterFromTheProgramFolderAndEnds) {
    server_.SetReply(TestHttpServer::Reply(R"({"isMustUpdate":0,"updatetime":18})"));
    QTemporaryDir program;
    const std::filesystem::path folder = program.path().toStdString();
    const std::filesystem::path updater = folder / "ZavreoUpData";
    // Renamed into place so the test never reads the file half-written.
    std::ofstream(updater) << "#!/bin/sh\npwd > starting && mv starting started\n";
    std::filesystem::permissions(updater, std::filesystem::perms::owner_all);
    answersMessages_ = true;
    QTimer answerer;
    QObject::connect(&answerer, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            box->button(QMessageBox::Ok)->click();
        }
    });
    answerer.start(20);
    CMervalaDlg dialog(folder);
    EXPECT_FALSE(dialog.OnInitDialog());
    EXPECT_TRUE(SpinUntil([&] { return std::filesystem::exists(folder / "started"); }, 5000));
    EXPECT_EQ(ReadAll(folder / "started"), folder.string() + "\n");
}

// A config.lst of a pasted 1.2 MB subtitle and a music.lst with a count of -1 once came back as
// defaults at exit: now copies keep them from the start, and the tip names the copies. What is
// said during the start waits for the window, so that the tip stands above it.
TEST_F(MainWindowTest, FilesNotReadWholeAreKeptAndNamedInATipAboveTheWindow) {
    std::filesystem::create_directories(Config());
    const std::string config = R"({"Text":[{"text":")" + std::string(1200000, 'x') + "\"}]}\n";
    const std::string music = R"({"list":[{"listname":"默认列表","musicnum":-1,)"
                              R"("musiclist":[{"path":"/a.mp3"}]}],"num":1})"
                              "\n";
    std::ofstream(Config() / "config.lst") << config;
    std::ofstream(Config() / "music.lst") << music;
    CMervalaDlg dialog(ZAVREO_BIN_DIR);
    ASSERT_TRUE(dialog.OnInitDialog());
    auto* tip = dialog.findChild<CXiaoXiTiShi*>();
    QApplication::processEvents();
    EXPECT_FALSE(tip->isVisible()) << "a tip before the window would lie beneath it";
    dialog.show();
    EXPECT_TRUE(SpinUntil([&] { return tip->isVisible(); }));
    const QString text = tip->Text();
    EXPECT_TRUE(text.startsWith(QString::fromUtf8(TipText::kFilesKeptUnreadable)))
        << text.toStdString();
    for (const char* name : {"config.lst.unreadable.1", "music.lst.unreadable.1"}) {
        EXPECT_TRUE(text.contains(QString::fromStdString((Config() / name).string())))
            << text.toStdString();
    }
    EXPECT_EQ(ReadAll(Config() / "config.lst.unreadable.1"), config);
    EXPECT_EQ(ReadAll(Config() / "music.lst.unreadable.1"), music);
    bool ended = false;
    QObject::connect(&dialog, &QDialog::finished, [&] { ended = true; });
    dialog.OnCommand(CMervalaDlg::ID_TRAY_EXIT);
    EXPECT_TRUE(SpinUntil([&] { return ended; }));
    EXPECT_EQ(ReadAll(Config() / "config.lst.unreadable.1"), config);
    EXPECT_EQ(ReadAll(Config() / "music.lst.unreadable.1"), music);
    EXPECT_LT(std::filesystem::file_size(Config() / "config.lst"), 4096u);
}

// Files the exit could not write are named in one tip, and the window waits for its OK before
// it closes; a quit signal meanwhile ends it at once.
TEST_F(MainWindowTest, WhatTheExitCouldNotSaveIsSaidOnceBeforeTheWindowCloses) {
    std::filesystem::create_directories(Config());
    // Folders in the files' places: nothing can be written there, whoever runs the test.
    for (const char* name : {"config.lst", "music.lst", "PicPath.lst"}) {
        std::filesystem::create_directories(Config() / name / "in the way");
    }
    for (const bool signalled : {false, true}) {
        CMervalaDlg dialog(ZAVREO_BIN_DIR);
        ASSERT_TRUE(dialog.OnInitDialog());
        dialog.show();
        bool ended = false;
        QObject::connect(&dialog, &QDialog::finished, [&] { ended = true; });
        auto* tip = dialog.findChild<CXiaoXiTiShi*>();
        dialog.OnCommand(CMervalaDlg::ID_TRAY_EXIT);
        ASSERT_TRUE(SpinUntil([&] { return tip->isVisible(); }));
        const QString text = tip->Text();
        EXPECT_TRUE(text.startsWith(QString::fromUtf8(TipText::kFilesNotSaved)))
            << text.toStdString();
        for (const char* name : {"config.lst", "music.lst", "PicPath.lst"}) {
            EXPECT_TRUE(text.contains(QString::fromStdString((Config() / name).string()) + "\n") ||
                        text.endsWith(QString::fromStdString((Config() / name).string())))
                << name;
        }
        QApplication::processEvents(QEventLoop::AllEvents, 300);
        EXPECT_FALSE(ended) << "the window closed before the tip was read";
        if (signalled) {
            dialog.OnQuitSignal();
        } else {
            tip->OkButton()->click();
        }
        EXPECT_TRUE(SpinUntil([&] { return ended; }));
    }
}

TEST_F(MainWindowTest, OpeningWithoutACameraSaysSoInTheTip) {
    CMervalaDlg dialog(ZAVREO_BIN_DIR);
    ASSERT_TRUE(dialog.OnInitDialog());
    std::vector<std::string> cameras;
    if (zavreo::DiscoverCameras(&cameras) > 0) {
        GTEST_SKIP() << "this machine has a camera";
    }
    dialog.show();
    dialog.Button(CMervalaDlg::IDC_OPEN_CAMERA)->click();
    EXPECT_TRUE(dialog.findChild<CXiaoXiTiShi*>()->isVisible());
    EXPECT_EQ(dialog.findChild<CXiaoXiTiShi*>()->Text(), "    亲：没有可用的摄像头哦");
}

TEST_F(MainWindowTest, PlaylistsLoadPlayFromTheWindowAndAreWrittenBackAtExit) {
    // Played in real time, so that the song lasts its four seconds.
    qputenv("ZAVREO_AUDIO_SINK", "fakesink sync=true");
    const std::filesystem::path songs = home_.path().toStdString() + "/songs";
    std::filesystem::create_directories(songs);
    ASSERT_TRUE(testsongs::MakeSong(songs / "夜曲.mp3", 4, "libmp3lame"));
    const std::string song = (songs / "夜曲.mp3").string();
    std::filesystem::create_directories(Config());
    const std::string saved =
        R"({"list":[{"isopen":true,"listname":"默认列表","musiclist":[{"path":")" + song +
        R"("}],"musicnum":1},{"isopen":false,"listname":"a","musicnum":0}],"num":2})"
        "\n";
    std::ofstream(Config() / "music.lst") << saved;

    CMervalaDlg dialog(ZAVREO_BIN_DIR);
    ASSERT_TRUE(dialog.OnInitDialog());
    dialog.show();
    dialog.OnCommand(CMervalaDlg::IDC_TAB_SONGS);
    EXPECT_EQ(dialog.Playlists().RowCount(), 3);
    EXPECT_EQ(dialog.MenuIds().NameOf(11005), "a");
    EXPECT_EQ(dialog.Playlists().m_nModeMark, 2);

    dialog.OnCommand(CMervalaDlg::IDC_PLAY);
    EXPECT_TRUE(dialog.Music().IsPlaying());
    EXPECT_TRUE(dialog.Timer(CMervalaDlg::kProgressTimer).isActive());
    ASSERT_TRUE(SpinUntil([&] { return dialog.Music().PositionMs() > 1100; }, 8000));
    // Timer 1 moved the progress slider over the song's length.
    ASSERT_TRUE(
        SpinUntil([&] { return Slider(dialog, CMervalaDlg::IDC_PROGRESS).GetPos() > 0; }, 3000));
    EXPECT_NEAR(Slider(dialog, CMervalaDlg::IDC_PROGRESS).GetRangeMax(), 4000, 100);
    dialog.OnCommand(CMervalaDlg::IDC_PLAY);
    EXPECT_EQ(dialog.Music().PlayStateValue(), zavreo::PlayPaused);

    // The music panel's add button adds to the default list through the songs view.
    dialog.PlaylistMenus().chooseFiles = [&] {
        return std::vector<std::string>{song, "/x/新.mp3"};
    };
    dialog.OnCommand(CMervalaDlg::IDC_TAB_MUSIC);
    dialog.Playlists().m_nClickedRow = 2;
    auto* panel = dialog.findChild<CMusicDlg*>();
    ASSERT_NE(panel, nullptr);
    panel->AddButton().click();
    EXPECT_EQ(dialog.findChild<CXiaoXiTiShi*>()->Text().toStdString(), TipText::kSongInCurrentList);
    EXPECT_EQ(dialog.Playlists().SongCount(zavreo::kDefaultListName), 2);
    EXPECT_EQ(dialog.Playlists().SongCount("a"), 0);
    EXPECT_TRUE(dialog.findChild<CCatListBox*>()->isVisible());

    dialog.OnExitCommand();
    EXPECT_EQ(ReadAll(Config() / "music.lst"),
              R"({"list":[{"isopen":true,"listname":"默认列表","musiclist":[{"path":")" + song +
                  R"("},{"path":"/x/新.mp3"}],"musicnum":2},{"isopen":false,"listname":"a",)"
                  R"("musicnum":0}],"num":2})"
                  "\n");
}
