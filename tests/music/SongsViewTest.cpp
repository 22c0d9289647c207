#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QTimer>

#include "CCatListBox.h"
#include "CDLEdit.h"
#include "CMusicDlg.h"
#include "FileText.h"
#include "MusicController.h"
#include "PlaylistCommands.h"
#include "PlaylistPanel.h"
#include "TipTexts.h"

using namespace zavreo;

namespace {

void Click(QWidget* target, QPoint at, Qt::MouseButton button = Qt::LeftButton,
           QEvent::Type type = QEvent::MouseButtonPress) {
    QMouseEvent event(type, QPointF(at), target->mapToGlobal(QPointF(at)), button, button,
                      Qt::NoModifier);
    QApplication::sendEvent(target, &event);
}

void Key(QWidget* target, int key) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(target, &press);
}

// A songs view of the main window's size on the skin's pictures, with the panel's wiring.
class SongsViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(chdir(ZAVREO_BIN_DIR), 0);
        model_.AddCategory(kDefaultListName);
        model_.AddItem(kDefaultListName, "/music/月亮代表我的心.mp3");
        model_.AddItem(kDefaultListName, "/music/甜蜜蜜.wma");
        model_.AddItem(kDefaultListName, "/music/Yesterday.mp3");
        model_.AddItem("翻唱", "/music/后来.mp3");
        ids_.Register(kDefaultListName);
        ids_.Register("翻唱");
        model_.m_bPlaylistMode = true;
        model_.SetCategoryOpen(kDefaultListName, true);
        list_.resize(480, 430);
        list_.show();
        list_.activateWindow();
        QApplication::processEvents();
        // Menus would wait for a choice; the tests count the requests instead.
        QObject::disconnect(&list_, &CCatListBox::SongMenuRequested, &panel_, nullptr);
        QObject::disconnect(&list_, &CCatListBox::AddMenuRequested, &panel_, nullptr);
        QObject::disconnect(&list_, &CCatListBox::ModeMenuRequested, &panel_, nullptr);
        QObject::disconnect(&list_, &CCatListBox::ListMenuRequested, &panel_, nullptr);
        QObject::connect(&list_, &CCatListBox::SongMenuRequested, [this] { ++songMenus_; });
    }
    // A point in the name area of `row`.
    QPoint NameAt(int row) const { return QPoint(120, row * 30 + 15); }

    PlaylistModel model_;
    ListMenuIds ids_;
    std::vector<std::string> tips_;
    QTemporaryDir dir_;
    PlaylistCommands commands_{model_, ids_, dir_.path().toStdString() + "/music.lst",
                               [this](const char* tip) { tips_.push_back(tip); }};
    QTimer progressTimer_, lyricTimer_;
    MusicController music_{model_, PlayerControls{}, progressTimer_, lyricTimer_, "fakesink"};
    CCatListBox list_{model_};
    PlaylistPanel panel_{list_, model_, ids_, commands_, music_, nullptr};
    int songMenus_ = 0;
};

}  // namespace

TEST_F(SongsViewTest, RowsAreHitInTheirNameAreaAndHeaderButtonsByTheirZones) {
    EXPECT_EQ(list_.HitRow(NameAt(1)), 1);
    EXPECT_EQ(list_.HitRow(QPoint(10, 45)), -1);  // left of the rows' hit area
    EXPECT_EQ(list_.HitRow(QPoint(120, 5 * 30 + 15)), -1);
    const int r = list_.viewport()->width();
    EXPECT_EQ(list_.HitZone(0, QPoint(r - 85, 15)), CCatListBox::Zone::AddButton);
    EXPECT_EQ(list_.HitZone(0, QPoint(r - 60, 15)), CCatListBox::Zone::ModeIcon);
    EXPECT_EQ(list_.HitZone(0, QPoint(r - 30, 15)), CCatListBox::Zone::MenuButton);
    EXPECT_EQ(list_.HitZone(0, QPoint(r - 70, 15)), CCatListBox::Zone::Other);
    EXPECT_EQ(list_.HitZone(1, QPoint(r - 30, 45)), CCatListBox::Zone::Other);

    int adds = 0, modes = 0, menus = 0;
    QObject::connect(&list_, &CCatListBox::AddMenuRequested, [&] { ++adds; });
    QObject::connect(&list_, &CCatListBox::ModeMenuRequested, [&] { ++modes; });
    QObject::connect(&list_, &CCatListBox::ListMenuRequested, [&] { ++menus; });
    Click(list_.viewport(), QPoint(r - 85, 15));
    EXPECT_EQ(model_.Find(kDefaultListName)->addButtonState, 2);
    Click(list_.viewport(), QPoint(r - 85, 15), Qt::LeftButton, QEvent::MouseButtonRelease);
    EXPECT_EQ(model_.Find(kDefaultListName)->addButtonState, 0);
    Click(list_.viewport(), QPoint(r - 60, 15));
    Click(list_.viewport(), QPoint(r - 30, 4 * 30 + 15));
    EXPECT_EQ(model_.Find("翻唱")->menuButtonState, 2);
    EXPECT_EQ(model_.m_nClickedRow, 4);
    EXPECT_EQ((std::vector{adds, modes, menus}), (std::vector{1, 1, 1}));

    // The name area of a header with songs opens and closes it.
    Click(list_.viewport(), NameAt(0));
    EXPECT_FALSE(model_.Find(kDefaultListName)->isOpen);
    EXPECT_EQ(model_.RowCount(), 2);
    Key(&list_, Qt::Key_Space);
    EXPECT_TRUE(model_.Find(kDefaultListName)->isOpen);
}

TEST_F(SongsViewTest, ClicksSelectRightClicksOpenTheSongMenuOnlyOnMarkedSongs) {
    Click(list_.viewport(), NameAt(2), Qt::RightButton);
    EXPECT_EQ(songMenus_, 0);
    Click(list_.viewport(), NameAt(2));
    EXPECT_EQ(model_.GetItemState(kDefaultListName, 1), ItemSelected);
    EXPECT_EQ(model_.Selected().index, 1);
    Click(list_.viewport(), NameAt(2), Qt::RightButton);
    EXPECT_EQ(songMenus_, 1);
    EXPECT_EQ(model_.m_nClickedRow, 2);

    // Space shows a song as playing and back, without playing it; a selected one stays.
    Click(list_.viewport(), NameAt(3));
    EXPECT_EQ(model_.GetItemState(kDefaultListName, 1), ItemNormal);
    Click(list_.viewport(), NameAt(1));
    Key(&list_, Qt::Key_Space);
    EXPECT_EQ(model_.GetItemState(kDefaultListName, 0), ItemSelected);
    model_.SetItemState(kDefaultListName, 0, ItemNormal);
    Key(&list_, Qt::Key_Space);
    EXPECT_EQ(model_.GetItemState(kDefaultListName, 0), ItemPlaying);
    EXPECT_EQ(music_.PlayStateValue(), PlayStopped);

    // A double click plays (here a song whose file is gone, so the search stops the player).
    Click(list_.viewport(), NameAt(3), Qt::LeftButton, QEvent::MouseButtonDblClick);
    EXPECT_FALSE(model_.Playing().set);
}

TEST_F(SongsViewTest, TheNameEditCommitsByEnterOrClickWithTheirOwnTips) {
    EXPECT_TRUE(panel_.OnCommand(ID_ADD_NEW_LIST));
    CDLEdit* edit = list_.NameEdit();
    ASSERT_NE(edit, nullptr);
    // Below the last of the five rows, between the list's margins.
    EXPECT_EQ(edit->geometry(), QRect(45, 5 * 30 + 5, list_.viewport()->width() - 195, 20));
    edit->setText(QStringLiteral("翻唱"));
    Key(edit, Qt::Key_Return);
    EXPECT_EQ(tips_, std::vector<std::string>{TipText::kListNameTakenOnEnter});
    EXPECT_EQ(list_.NameEdit(), nullptr);

    panel_.OnCommand(ID_LIST_NEW_LIST);
    list_.NameEdit()->setText(QStringLiteral("翻唱"));
    list_.NameEdit()->setFocus();
    Click(list_.viewport(), NameAt(1));
    EXPECT_EQ(tips_.back(), TipText::kListNameTaken);

    panel_.OnCommand(ID_ADD_NEW_LIST);
    list_.NameEdit()->setText(QStringLiteral("新列表"));
    Key(list_.NameEdit(), Qt::Key_Enter);
    EXPECT_EQ(model_.CategoryAtRow(5), "新列表");
    EXPECT_EQ(ids_.Ids().rbegin()->second, "新列表");

    // Renaming: not the default list; another one keeps its row.
    model_.m_nClickedRow = 0;
    panel_.OnCommand(ID_LIST_RENAME);
    EXPECT_EQ(list_.NameEdit(), nullptr);
    EXPECT_EQ(tips_.back(), TipText::kCannotRenameDefaultList);
    model_.m_nClickedRow = 4;
    panel_.OnCommand(ID_LIST_RENAME);
    ASSERT_NE(list_.NameEdit(), nullptr);
    EXPECT_EQ(list_.NameEdit()->geometry().top(), 4 * 30 + 5);
    list_.NameEdit()->setText(QStringLiteral("老歌"));
    Key(list_.NameEdit(), Qt::Key_Return);
    EXPECT_EQ(model_.CategoryAtRow(4), "老歌");
    EXPECT_EQ(ids_.NameOf(11005), "老歌");
}

TEST_F(SongsViewTest, TheRenameBoxFollowsItsListWhenRowsShift) {
    model_.SetCategoryOpen(kDefaultListName, false);
    ASSERT_EQ(model_.CategoryAtRow(1), "翻唱");
    model_.m_nClickedRow = 1;
    panel_.OnCommand(ID_LIST_RENAME);
    ASSERT_NE(list_.NameEdit(), nullptr);
    list_.NameEdit()->setText(QStringLiteral("老歌"));
    // Adding songs from the music panel opens the default list above it meanwhile.
    model_.SetCategoryOpen(kDefaultListName, true);
    EXPECT_EQ(list_.NameEdit()->geometry().top(), 4 * 30 + 5);
    Key(list_.NameEdit(), Qt::Key_Return);
    EXPECT_EQ(model_.Find("翻唱"), nullptr);
    EXPECT_NE(model_.Find("老歌"), nullptr);
    EXPECT_NE(model_.Find(kDefaultListName), nullptr);
    EXPECT_EQ(model_.CategoryAtRow(4), "老歌");
}

TEST_F(SongsViewTest, WithTwelveRowsTheStandInListLeavesNoTrace) {
    for (int i = 0; i < 8; ++i) {
        model_.AddCategory("list" + std::to_string(i));
    }
    ASSERT_EQ(model_.RowCount(), 13);
    for (const char* name : {"翻唱", "fresh"}) {
        panel_.OnCommand(ID_ADD_NEW_LIST);
        ASSERT_NE(model_.Find(CCatListBox::kPlaceholderList), nullptr);
        // A write while the box is open keeps the stand-in out of the file.
        ASSERT_TRUE(commands_.Save());
        EXPECT_EQ(ReadAll(commands_.MusicListFile()).find("placeholder"), std::string::npos);
        const int placeholderRow = model_.Find(CCatListBox::kPlaceholderList)->headerRow;
        EXPECT_EQ(list_.NameEdit()->geometry().top(), (placeholderRow - list_.TopRow()) * 30 + 5);
        list_.NameEdit()->setText(QString::fromUtf8(name));
        Key(list_.NameEdit(), Qt::Key_Return);
        EXPECT_EQ(model_.Find(CCatListBox::kPlaceholderList), nullptr);
    }
    EXPECT_EQ(model_.RowCount(), 14);
    EXPECT_EQ(model_.CategoryAtRow(13), "fresh");
}

TEST_F(SongsViewTest, LongNamesEndWithAnEllipsisAfterAWholeCharacter) {
    const QString longName = QString::fromUtf8("月亮代表我的心").repeated(8);
    model_.AddItem(kDefaultListName, "/music/" + longName.toStdString() + ".mp3");
    CatCategory& list = *model_.Find(kDefaultListName);
    const auto rowWith = [&](const QString& name) {
        list.items.back().text = "/music/" + name.toStdString() + ".mp3";
        return list_.viewport()->grab().toImage().copy(0, 4 * 30, 480, 30);
    };
    const QImage shown = rowWith(longName);
    // The fewest whole characters that, followed by "…", draw the same row.
    int kept = 1;
    while (kept < longName.size() && rowWith(longName.left(kept) + QChar(0x2026)) != shown) {
        ++kept;
    }
    ASSERT_LT(kept, longName.size());
    EXPECT_GT(kept, 10);
    // The ellipsis is really drawn: another last character shows. A name cut at the edge would
    // hide whatever follows the cut character.
    EXPECT_NE(rowWith(longName.left(kept) + QChar(u'X')), shown);
}

TEST_F(SongsViewTest, SongRowsShowTheirStateIconsAndNames) {
    model_.MarkPlaying(0, model_.GetItemText(kDefaultListName, 0), kDefaultListName);
    model_.SetItemState(kDefaultListName, 0, ItemPlaying);
    model_.MarkSelected(2, model_.GetItemText(kDefaultListName, 2), kDefaultListName);
    model_.SetItemState(kDefaultListName, 2, ItemSelected);
    const QImage shot = list_.viewport()->grab().toImage();
    const auto iconAt = [&](int row, const char* file) {
        const QImage icon(QString::fromUtf8(file));
        if (icon.isNull()) {
            return false;
        }
        // The icon's opaque pixels, 10 pixels in from the arrow zone's right edge.
        for (int y = 0; y < icon.height(); ++y) {
            for (int x = 0; x < icon.width(); ++x) {
                const QColor want = icon.pixelColor(x, y);
                if (want.alpha() == 255 &&
                    shot.pixelColor(24 + x, row * 30 + 10 + y).rgb() != want.rgb()) {
                    return false;
                }
            }
        }
        return true;
    };
    EXPECT_TRUE(iconAt(1, "images/left/wodegequ/mymusic_song_playing_110.png"));
    EXPECT_TRUE(iconAt(2, "images/left/wodegequ/mymusic_song_normal_105.png"));
    EXPECT_TRUE(iconAt(3, "images/left/wodegequ/mymusic_song_press_72.png"));
    EXPECT_FALSE(iconAt(3, "images/left/wodegequ/mymusic_song_playing_110.png"));
    EXPECT_TRUE(iconAt(0, "images/left/wodegequ/mysong_zhankai_101.png"));
    EXPECT_TRUE(iconAt(4, "images/left/wodegequ/mysong_shouqi_127.png"));
    // Header names are white, song names grey.
    const auto hasColour = [&](int row, QColor colour) {
        for (int x = 49; x < 200; ++x) {
            for (int y = row * 30 + 8; y < row * 30 + 26; ++y) {
                if (shot.pixelColor(x, y).rgb() == colour.rgb()) {
                    return true;
                }
            }
        }
        return false;
    };
    EXPECT_TRUE(hasColour(0, Qt::white));
    EXPECT_FALSE(hasColour(1, Qt::white));
    EXPECT_TRUE(hasColour(1, QColor(142, 143, 157)));

    // Pictures to look at: the view, each menu and the music panel.
    const QString folder = QStringLiteral(ZAVREO_BIN_DIR "/../tests/music-shots");
    QDir().mkpath(folder);
    shot.save(folder + "/songs-view.png");
    const std::vector<std::pair<QString, std::unique_ptr<CSideBarMenu>>> menus = [&] {
        std::vector<std::pair<QString, std::unique_ptr<CSideBarMenu>>> all;
        all.emplace_back("mode-menu", PlaylistPanel::ModeMenu(nullptr, ModeListLoop));
        all.emplace_back("add-menu", PlaylistPanel::AddMenu(nullptr));
        all.emplace_back("list-menu", PlaylistPanel::ListMenu(nullptr));
        all.emplace_back("song-menu", PlaylistPanel::SongMenu(nullptr, ids_));
        return all;
    }();
    for (const auto& [name, menu] : menus) {
        menu->popup(QPoint(100, 100));
        QApplication::processEvents();
        EXPECT_TRUE(menu->grab().save(folder + "/" + name + ".png"));
        menu->hide();
    }
    ASSERT_EQ(menus[3].second->actions().size(), 4);
    QMenu* addTo = menus[3].second->actions()[3]->menu();
    ASSERT_NE(addTo, nullptr);
    EXPECT_EQ(addTo->title(), "添加到");
    ASSERT_EQ(addTo->actions().size(), 2);
    EXPECT_EQ(CSideBarMenu::CommandId(addTo->actions()[1]), 11005);
    EXPECT_EQ(addTo->actions()[1]->text(), "翻唱");

    CMusicDlg panel;
    panel.show();
    EXPECT_TRUE(panel.grab().save(folder + "/music-panel.png"));
}

TEST(PlayModeMenu, MarksTheModeInForceAndOnlyIt) {
    ASSERT_EQ(chdir(ZAVREO_BIN_DIR), 0);
    for (int mode : {ModeSingleOnce, ModeRandom}) {
        SCOPED_TRACE(mode);
        const std::unique_ptr<CSideBarMenu> menu = PlaylistPanel::ModeMenu(nullptr, mode);
        const QList<QAction*> items = menu->actions();
        ASSERT_EQ(items.size(), 4);
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(items[i]->isChecked(), i == mode) << i;
        }
        // The mark is drawn in the margin left of the text.
        menu->popup(QPoint(100, 100));
        QApplication::processEvents();
        const QImage shot = menu->grab().toImage();
        menu->hide();
        auto marked = [&](int item) {
            const QRect r = menu->actionGeometry(items[item]);
            for (int x = r.left(); x < r.left() + 10; ++x) {
                for (int y = r.top(); y <= r.bottom(); ++y) {
                    if (shot.pixelColor(x, y) != CSideBarMenu::BackgroundColor() &&
                        shot.pixelColor(x, y) != CSideBarMenu::HighlightColor()) {
                        return true;
                    }
                }
            }
            return false;
        };
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(marked(i), i == mode) << i;
        }
    }
}

TEST(MusicPanel, SearchAsksWithTheTypedTextAndAddAsksForTheDefaultList) {
    ASSERT_EQ(chdir(ZAVREO_BIN_DIR), 0);
    CMusicDlg panel;
    EXPECT_EQ(panel.size(), QSize(390, 508));
    // The prompt is a placeholder: the first key replaces it.
    EXPECT_EQ(panel.SearchText()->placeholderText(), "请输入歌曲名或歌手名");
    EXPECT_EQ(panel.SearchText()->text(), "");
    QKeyEvent key(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
    QApplication::sendEvent(panel.SearchText(), &key);
    EXPECT_EQ(panel.SearchText()->text(), "a");
    for (const QWidget* child : panel.findChildren<QWidget*>()) {
        EXPECT_TRUE(panel.rect().contains(child->geometry())) << child->metaObject()->className();
    }
    QStringList asked;
    int adds = 0;
    QObject::connect(&panel, &CMusicDlg::SearchRequested, [&](const QString& t) { asked << t; });
    QObject::connect(&panel, &CMusicDlg::AddLocalSongs, [&] { ++adds; });
    panel.SearchText()->setText(QStringLiteral("月亮代表我的心"));
    panel.SearchButton().click();
    // Enter in the box searches too.
    panel.SearchText()->setText(QStringLiteral("甜蜜蜜"));
    Key(panel.SearchText(), Qt::Key_Return);
    panel.AddButton().click();
    EXPECT_EQ(asked, (QStringList{"月亮代表我的心", "甜蜜蜜"}));
    EXPECT_EQ(adds, 1);
}

TEST_F(SongsViewTest, AFoundSongIsShownSelectedInItsOpenedListAndTheNextSearchGoesOn) {
    for (int i = 0; i < 20; ++i) {
        model_.AddItem("翻唱", "/covers/翻唱" + std::to_string(i) + ".mp3");
    }
    model_.AddItem("翻唱", "/covers/yesterday live.mp3");
    ASSERT_FALSE(model_.Find("翻唱")->isOpen);
    const auto first = panel_.NextSearchMatch("YESTERDAY");
    ASSERT_TRUE(first);
    panel_.ShowSong(*first);
    EXPECT_EQ(model_.GetItemState(kDefaultListName, 2), ItemSelected);
    EXPECT_EQ(model_.Selected().path, "/music/Yesterday.mp3");

    // The next one lies in the closed list, far below the view: opened, scrolled, selected; the
    // song selected before is not any more.
    const auto second = panel_.NextSearchMatch("yesterday");
    ASSERT_TRUE(second);
    EXPECT_EQ(second->list, "翻唱");
    panel_.ShowSong(*second);
    EXPECT_TRUE(model_.Find("翻唱")->isOpen);
    const int row = model_.Find("翻唱")->headerRow + 1 + second->index;
    EXPECT_EQ(model_.m_nClickedRow, row);
    EXPECT_GE(list_.HitRow(NameAt(row - list_.TopRow())), 0) << "the row is in view";
    EXPECT_EQ(list_.HitRow(NameAt(row - list_.TopRow())), row);
    EXPECT_EQ(model_.GetItemState("翻唱", second->index), ItemSelected);
    EXPECT_EQ(model_.GetItemState(kDefaultListName, 2), ItemNormal);
    // The selected marker is what the play button plays next.
    EXPECT_EQ(model_.Selected().path, "/covers/yesterday live.mp3");

    // A playing song found stays playing.
    model_.MarkPlaying(0, "/music/月亮代表我的心.mp3", kDefaultListName);
    model_.SetItemState(kDefaultListName, 0, ItemPlaying);
    panel_.ShowSong(*panel_.NextSearchMatch("月亮"));
    EXPECT_EQ(model_.GetItemState(kDefaultListName, 0), ItemPlaying);
    EXPECT_FALSE(panel_.NextSearchMatch("not in any list"));
}
