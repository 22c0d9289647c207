#include <QFontInfo>
#include <QPainter>
#include <QSignalSpy>
#include <QStyleOptionViewItem>
#include <QTest>
#include <cmath>

#include "CBitComboBox.h"
#include "CColorButton.h"
#include "CColorWnd.h"
#include "CDLEdit.h"
#include "CElidedLabel.h"
#include "CListCtrlCl.h"
#include "CSideBarMenu.h"
#include "ControlFixture.h"

namespace {

using SkinnedControls = ControlFixture;

TEST_F(SkinnedControls, ColorButtonNotifiesOnlyRealChanges) {
    QWidget parent;
    CColorButton button(&parent, 1033);
    std::vector<unsigned> calls;
    button.SetChangeCallback([&](unsigned colour) { calls.push_back(colour); });
    QSignalSpy changed(&button, &CColorButton::ColorChanged);

    button.SetColor(0x0000FF);
    EXPECT_EQ(changed.count(), 0);  // queued
    Pump();
    ASSERT_EQ(changed.count(), 1);
    EXPECT_EQ(changed.last().at(0).toInt(), 1033);
    EXPECT_EQ(changed.last().at(1).toInt(), CColorButton::kColorChangedCode);
    button.SetColor(0x0000FF);
    Pump();
    EXPECT_EQ(changed.count(), 1);
    EXPECT_EQ(calls, std::vector<unsigned>{0x0000FF});
    EXPECT_EQ(button.GetColor(), 0x0000FFu);
}

TEST_F(SkinnedControls, ColorPopupChoosesOnReleaseOverThePressedCellAndCloses) {
    QWidget parent;
    CColorButton button(&parent);
    button.resize(60, 24);
    button.TogglePopup();
    QPointer<CColorWnd> popup = button.Popup();
    ASSERT_TRUE(popup);
    EXPECT_EQ(popup->size(), QSize(126, 121));
    // Pressed on one cell, released over another: nothing.
    Press(popup, QPoint(5, 5));
    Release(popup, QPoint(30, 5));
    Pump();
    EXPECT_TRUE(popup && popup->isVisible());
    EXPECT_EQ(button.GetColor(), 0u);
    // Pressed and released on 浅灰.
    Press(popup, QPoint(5, 20));
    Release(popup, QPoint(6, 21));
    Pump();
    EXPECT_EQ(button.GetColor(), 0xC0C0C0u);
    EXPECT_FALSE(popup);
}

TEST_F(SkinnedControls, ColorPopupTogglesAndClosesOnAClickOutside) {
    QWidget parent;
    CColorButton button(&parent);
    button.SetColor(0x123456);
    button.TogglePopup();
    QPointer<CColorWnd> popup = button.Popup();
    ASSERT_TRUE(popup);
    Press(popup, QPoint(500, 500));
    Pump();
    EXPECT_FALSE(popup);
    EXPECT_EQ(button.GetColor(), 0x123456u);
    button.TogglePopup();
    popup = button.Popup();
    button.TogglePopup();
    Pump();
    EXPECT_FALSE(popup);
}

TEST_F(SkinnedControls, ColorButtonDrawsItsColourAndArrow) {
    CColorButton button;
    button.resize(60, 24);
    button.SetColor(0x00FF00);  // green
    const QImage shot = button.grab().toImage();
    EXPECT_EQ(shot.pixelColor(20, 12), QColor(0, 255, 0));
    EXPECT_EQ(shot.pixelColor(1, 12), QColor(96, 96, 96));
    EXPECT_NE(shot.pixelColor(50, 10), QColor(Qt::black));
}

TEST_F(SkinnedControls, PromptShowsInRedOnlyWhileEmptyAndUnfocused) {
    CDLEdit edit;
    edit.resize(150, 24);
    EXPECT_TRUE(edit.text().isEmpty());
    EXPECT_TRUE(edit.IsShowingPrompt());
    auto hasRed = [&] {
        const QImage shot = edit.grab().toImage();
        for (int y = 0; y < shot.height(); ++y) {
            for (int x = 0; x < shot.width(); ++x) {
                const QColor c = shot.pixelColor(x, y);
                if (c.red() > 200 && c.green() < 60 && c.blue() < 60) {
                    return true;
                }
            }
        }
        return false;
    };
    EXPECT_TRUE(hasRed());
    edit.setText(QStringLiteral("我的列表"));
    EXPECT_FALSE(edit.IsShowingPrompt());
    EXPECT_FALSE(hasRed());
    edit.clear();
    EXPECT_TRUE(hasRed());
}

TEST_F(SkinnedControls, ElidedLabelEndsALongTextWithAnEllipsisAfterAWholeCharacter) {
    const QString text = QString::fromUtf8("最酷的自媒体视频直播平台").repeated(4);
    auto prepare = [](QLabel& label) {
        label.resize(200, 22);
        QPalette palette = label.palette();
        palette.setColor(QPalette::WindowText, QColor(142, 143, 157));
        palette.setColor(QPalette::Window, QColor(44, 43, 53));
        label.setPalette(palette);
        label.setAutoFillBackground(true);
        return label.grab().toImage();
    };
    CElidedLabel elided(text);
    const QImage shown = prepare(elided);
    EXPECT_EQ(elided.text(), text);
    std::vector<int> alike;
    for (int kept = 1; kept < text.size(); ++kept) {
        QLabel plain(text.left(kept) + QChar(0x2026));
        if (prepare(plain) == shown) {
            alike.push_back(kept);
        }
    }
    ASSERT_EQ(alike.size(), 1u);
    EXPECT_GT(alike[0], 5);
    // A text that fits is drawn as it is.
    CElidedLabel fits(QStringLiteral("Zavreo"));
    QLabel plain(QStringLiteral("Zavreo"));
    EXPECT_EQ(prepare(fits), prepare(plain));
}

TEST_F(SkinnedControls, ComboFaceIsWhiteWhenFocusedAndGreyOtherwise) {
    CBitComboBox combo;
    combo.resize(150, 24);
    combo.addItems({QStringLiteral("640 x 480"), QStringLiteral("1280 x 720")});
    auto hasWhiteText = [&] {
        const QImage face = combo.grab().toImage();
        EXPECT_EQ(face.pixelColor(2, 2), QColor(44, 44, 53));
        for (int y = 0; y < face.height(); ++y) {
            for (int x = 0; x < face.width() - 20; ++x) {
                if (face.pixelColor(x, y) == Qt::white) {
                    return true;
                }
            }
        }
        return false;
    };
    EXPECT_FALSE(hasWhiteText());
    // The offscreen platform activates no window by itself.
    combo.show();
    combo.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&combo));
    combo.setFocus();
    ASSERT_TRUE(combo.hasFocus());
    EXPECT_TRUE(hasWhiteText());
    combo.clearFocus();
    EXPECT_FALSE(hasWhiteText());
}

TEST_F(SkinnedControls, ComboListItemUnderTheMouseIsHighlightedWithWhiteText) {
    CBitComboBox combo;
    combo.addItems({QStringLiteral("宋体"), QStringLiteral("黑体")});
    auto render = [&](QStyle::State state) {
        QImage image(120, 20, QImage::Format_RGB32);
        QPainter painter(&image);
        QStyleOptionViewItem option;
        option.rect = image.rect();
        option.state = state;
        option.font = combo.font();
        combo.itemDelegate()->paint(&painter, option, combo.model()->index(0, 0));
        return image;
    };
    auto hasInk = [](const QImage& image, QColor ink) {
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                if (image.pixelColor(x, y) == ink) {
                    return true;
                }
            }
        }
        return false;
    };
    const QImage hot = render(QStyle::State_Enabled | QStyle::State_MouseOver);
    EXPECT_EQ(hot.pixelColor(1, 1), QColor(96, 96, 107));
    EXPECT_TRUE(hasInk(hot, Qt::white));
    const QImage cold = render(QStyle::State_Enabled);
    EXPECT_EQ(cold.pixelColor(1, 1), QColor(44, 44, 53));
    EXPECT_FALSE(hasInk(cold, Qt::white));
}

TEST_F(SkinnedControls, ListColoursFallBackFromCellToRowToSystem) {
    CListCtrlCl list;
    list.InsertColumn(0, QStringLiteral("歌名"), 0, 120);
    list.InsertColumn(1, QStringLiteral("歌手"), 1, 80);
    list.InsertColumn(2, QStringLiteral("时长"), 2, 60);
    EXPECT_EQ(list.InsertItem(0, QStringLiteral("月亮代表我的心")), 0);
    list.SetItemText(0, 1, QStringLiteral("邓"));
    list.SetItemText(5, 1, QStringLiteral("ignored"));
    EXPECT_EQ(list.GetItemText(0, 1), QStringLiteral("邓"));
    EXPECT_EQ(list.GetItemText(5, 1), QString());
    list.SetRowColor(0, Qt::red);
    list.SetItemColor(0, 1, Qt::blue);
    EXPECT_EQ(list.CellBackground(0, 1), QColor(Qt::blue));
    EXPECT_EQ(list.CellBackground(0, 0), QColor(Qt::red));
    EXPECT_EQ(list.CellBackground(1, 0), list.palette().color(QPalette::Base));
    EXPECT_EQ(list.Header()->ColumnAlignment(1), Qt::AlignHCenter);
    EXPECT_EQ(list.Header()->ColumnAlignment(2), Qt::AlignRight);
    // A column inserted in front shifts the alignments with the columns.
    list.InsertColumn(0, QStringLiteral("#"), 2, 30);
    EXPECT_EQ(list.Header()->ColumnAlignment(0), Qt::AlignRight);
    EXPECT_EQ(list.Header()->ColumnAlignment(2), Qt::AlignHCenter);
}

TEST_F(SkinnedControls, HeaderGradientStepsDownAndStopsAtZero) {
    EXPECT_EQ(CHeaderCtrlCl::GradientLine(0), QColor(171, 199, 235));
    EXPECT_EQ(CHeaderCtrlCl::GradientLine(1), QColor(163, 191, 227));
    EXPECT_EQ(CHeaderCtrlCl::GradientLine(25), QColor(0, 0, 35));
    EXPECT_EQ(CHeaderCtrlCl::GradientLine(40), QColor(0, 0, 0));
}

TEST_F(SkinnedControls, SideBarMenuDrawsDarkRowsSeparatorsAndAHighlight) {
    CSideBarMenu menu;
    const char* items[] = {"单曲循环    ", "列表循环", "", "顺序播放", "随机播放"};
    int id = 100;
    for (const char* text : items) {
        menu.AppendMenu(id++, text);
    }
    const QList<QAction*> actions = menu.actions();
    ASSERT_EQ(actions.size(), 5);
    EXPECT_EQ(CSideBarMenu::CommandId(actions[3]), 103);
    EXPECT_FALSE(actions[2]->isEnabled());
    const QSize size = menu.sizeHint();
    const int row = menu.actionGeometry(actions[0]).height();
    EXPECT_EQ(menu.actionGeometry(actions[2]).height(), 8);
    EXPECT_EQ(size.height(), row * 4 + 8);

    menu.setActiveAction(actions[1]);
    const QImage shot = menu.grab().toImage();
    const QRect hot = menu.actionGeometry(actions[1]);
    const QRect cold = menu.actionGeometry(actions[3]);
    EXPECT_EQ(shot.pixelColor(hot.left() + 3, hot.top() + 1), QColor(96, 96, 107));
    EXPECT_EQ(shot.pixelColor(cold.left() + 3, cold.top() + 1), QColor(49, 50, 59));
    const QRect line = menu.actionGeometry(actions[2]);
    EXPECT_EQ(shot.pixelColor(line.left() + 10, line.top() + 2), QColor(206, 205, 196));
    // Every text fits: the widest row is at least as wide as its text.
    EXPECT_GE(size.width(), QFontMetrics(menu.font()).horizontalAdvance(actions[0]->text()) + 10);
}

// WCAG's contrast of two colours, from their relative luminance.
double Contrast(const QColor& a, const QColor& b) {
    const auto luminance = [](const QColor& c) {
        const auto channel = [](int value) {
            const double v = value / 255.0;
            return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * channel(c.red()) + 0.7152 * channel(c.green()) + 0.0722 * channel(c.blue());
    };
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

TEST_F(SkinnedControls, MenuTextIsLargeAndContrastedEnoughToRead) {
    CSideBarMenuZJ colours;
    CSideBarMenu menu;
    for (CSideBarMenu* each : {static_cast<CSideBarMenu*>(&colours), &menu}) {
        each->AppendMenu(6601, QStringLiteral("单曲循环"));
        each->AppendMenu(6602, QStringLiteral("列表循环"));
        EXPECT_GE(QFontInfo(each->font()).pixelSize(), 12);
        // The drawn text: its darkest and lightest pixels against the row's background.
        each->setActiveAction(each->actions()[1]);
        const QImage shot = each->grab().toImage();
        for (QAction* action : each->actions()) {
            const bool hot = action == each->actions()[1];
            const QColor ground =
                hot ? CSideBarMenu::HighlightColor() : CSideBarMenu::BackgroundColor();
            const QRect row = each->actionGeometry(action);
            double strongest = 0;
            for (int y = row.top(); y <= row.bottom(); ++y) {
                for (int x = row.left() + 22; x <= row.right(); ++x) {
                    strongest = std::max(strongest, Contrast(shot.pixelColor(x, y), ground));
                }
            }
            EXPECT_GE(strongest, 4.5) << action->text().toStdString() << (hot ? " hot" : "");
        }
    }
    EXPECT_GE(Contrast(CSideBarMenu::TextColor(), CSideBarMenu::BackgroundColor()), 4.5);
    EXPECT_GE(Contrast(CSideBarMenu::HighlightTextColor(), CSideBarMenu::HighlightColor()), 4.5);
}

TEST_F(SkinnedControls, ColourMenuHasSwatchesForTheFiveLyricColours) {
    CSideBarMenuZJ menu;
    for (int id = 6601; id <= 6605; ++id) {
        menu.AppendMenu(id, QStringLiteral("颜色"));
    }
    const QImage shot = menu.grab().toImage();
    const QRect first = menu.actionGeometry(menu.actions()[0]);
    const QRect third = menu.actionGeometry(menu.actions()[2]);
    EXPECT_EQ(shot.pixelColor(first.left() + 8, first.center().y()), QColor(0, 0, 255));
    EXPECT_EQ(shot.pixelColor(third.left() + 8, third.center().y()), QColor(255, 255, 0));
    EXPECT_FALSE(CSideBarMenuZJ::SwatchColor(6606).has_value());
    EXPECT_EQ(*CSideBarMenuZJ::SwatchColor(6602), QColor(144, 0, 255));
}

}  // namespace
