#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "ColorTable.h"

namespace {

TEST(ColorGrid, CellsFormRowsOfSevenEighteenPixelsSquare) {
    EXPECT_EQ(ColorGrid::ItemRect(0), (CellRect{0, 0, 18, 18}));
    EXPECT_EQ(ColorGrid::ItemRect(6), (CellRect{108, 0, 126, 18}));
    EXPECT_EQ(ColorGrid::ItemRect(7), (CellRect{0, 18, 18, 36}));
    EXPECT_EQ(ColorGrid::ItemRect(31), (CellRect{54, 72, 72, 90}));
    EXPECT_EQ(ColorGrid::ItemRect(ColorGrid::kOtherItem), (CellRect{1, 97, 125, 118}));
}

TEST(ColorGrid, HitTestUsesHalfOpenCells) {
    EXPECT_EQ(ColorGrid::HitTest(0, 0), 0);
    EXPECT_EQ(ColorGrid::HitTest(17, 17), 0);
    EXPECT_EQ(ColorGrid::HitTest(18, 17), 1);
    EXPECT_EQ(ColorGrid::HitTest(0, 18), 7);
    // Row 5 holds only four cells; the rest of it and the gap above the other row are empty.
    EXPECT_EQ(ColorGrid::HitTest(71, 89), 31);
    EXPECT_EQ(ColorGrid::HitTest(72, 80), -1);
    EXPECT_EQ(ColorGrid::HitTest(60, 93), -1);
    EXPECT_EQ(ColorGrid::HitTest(60, 100), ColorGrid::kOtherItem);
    EXPECT_EQ(ColorGrid::HitTest(-1, 5), -1);
}

TEST(ColorGrid, ChoosesOnlyWhenReleasedOverThePressedItem) {
    ColorGrid grid;
    EXPECT_TRUE(grid.MousePress(5, 5));
    EXPECT_EQ(grid.PressedItem(), 0);
    EXPECT_EQ(grid.MouseRelease(25, 5).choice, ColorGrid::Choice::None);
    EXPECT_EQ(grid.PressedItem(), -1);

    // Colours come back red in the low byte: 红色, 藏蓝 (88, 48, 224), then 深灰 in the last row.
    for (const auto& [x, y, colorRef, name] :
         {std::tuple{95, 23, 0x0000FFu, "红色"}, std::tuple{59, 41, 0xE03058u, "藏蓝"},
          std::tuple{60, 80, 0x606060u, "深灰"}}) {
        grid.MousePress(x, y);
        const ColorGrid::Result chosen = grid.MouseRelease(x + 1, y + 1);
        EXPECT_EQ(chosen.choice, ColorGrid::Choice::Color) << name;
        EXPECT_EQ(chosen.colorRef, colorRef) << name;
        const int item = ColorGrid::HitTest(x, y);
        ASSERT_GE(item, 0);
        EXPECT_STREQ(ColorTable()[item].name, name);
    }

    grid.MousePress(60, 100);
    EXPECT_EQ(grid.MouseRelease(60, 110).choice, ColorGrid::Choice::Other);
    // A release without a press, or after a press on nothing, chooses nothing.
    EXPECT_EQ(grid.MouseRelease(5, 5).choice, ColorGrid::Choice::None);
    grid.MousePress(100, 80);
    EXPECT_EQ(grid.MouseRelease(100, 80).choice, ColorGrid::Choice::None);
}

TEST(ColorGrid, HotItemFollowsTheMouseAndLeaveClearsBoth) {
    ColorGrid grid;
    EXPECT_TRUE(grid.MouseMove(20, 2));
    EXPECT_EQ(grid.HotItem(), 1);
    EXPECT_FALSE(grid.MouseMove(21, 3));
    grid.MousePress(20, 2);
    grid.MouseLeave();
    EXPECT_EQ(grid.HotItem(), -1);
    EXPECT_EQ(grid.PressedItem(), -1);
}

}  // namespace
