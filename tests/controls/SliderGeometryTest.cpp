#include <gtest/gtest.h>

#include "SliderGeometry.h"

namespace {

SliderGeometry Progress() {
    SliderGeometry g;
    g.minimum = 0;
    g.maximum = 100;
    g.length = 450;
    g.thumbLength = 16;
    return g;
}

TEST(SliderGeometry, PositionsMapOntoTheThumbsTravel) {
    const SliderGeometry g = Progress();
    EXPECT_EQ(g.PositionToPixel(0), 8);
    EXPECT_EQ(g.PositionToPixel(100), 442);
    EXPECT_EQ(g.PositionToPixel(50), 225);
    // Truncated, not rounded: 434 * 67 / 100 = 290.78 and 434 * 99 / 100 = 429.66.
    EXPECT_EQ(g.PositionToPixel(67), 8 + 290);
    EXPECT_EQ(g.PositionToPixel(99), 8 + 429);
}

TEST(SliderGeometry, PixelsMapBackWithTruncation) {
    const SliderGeometry g = Progress();
    EXPECT_EQ(g.PixelToPosition(8), 0);
    EXPECT_EQ(g.PixelToPosition(442), 100);
    EXPECT_EQ(g.PixelToPosition(225), 50);
    // (12 - 8) / 434 * 100 = 0.92 truncates toward zero, also below the low end.
    EXPECT_EQ(g.PixelToPosition(12), 0);
    EXPECT_EQ(g.PixelToPosition(4), 0);
    // 433 / 434 * 100 = 99.77 stays 99.
    EXPECT_EQ(g.PixelToPosition(441), 99);
}

TEST(SliderGeometry, MarginsAndOffsetRangesShiftTheTravel) {
    SliderGeometry g;
    g.minimum = 0;
    g.maximum = 1000;
    g.length = 71;
    g.thumbLength = 16;
    g.marginLow = 2;
    g.marginHigh = 3;
    EXPECT_EQ(g.LowestCentre(), 10);
    EXPECT_EQ(g.HighestCentre(), 60);
    EXPECT_EQ(g.PositionToPixel(500), 2 + 25 + 8);
    EXPECT_EQ(g.ClampCentre(-50), 10);
    EXPECT_EQ(g.ClampCentre(500), 60);

    g.minimum = -50;
    g.maximum = 50;
    g.marginLow = g.marginHigh = 0;
    EXPECT_EQ(g.PositionToPixel(-50), 8);
    EXPECT_EQ(g.PixelToPosition(g.PositionToPixel(0)), 0);
}

TEST(SliderGeometry, EmptyRangeOrTravelDoesNotDivideByZero) {
    SliderGeometry g = Progress();
    g.maximum = g.minimum = 5;
    EXPECT_EQ(g.PositionToPixel(5), 8);
    EXPECT_EQ(g.ClampPosition(9), 5);
    g = Progress();
    g.length = 16;
    EXPECT_EQ(g.PixelToPosition(8), 0);
}

}  // namespace

#include "DialogUnits.h"

namespace {

TEST(DialogUnits, TemplatePlacementsHoldTheirBitmaps) {
    // The progress and volume sliders' templates and their channel bitmaps.
    EXPECT_EQ(DialogUnits::Rect(8, 44, 256, 17).size(), QSize(448, 32));
    EXPECT_EQ(DialogUnits::Rect(138, 63, 40, 16).size(), QSize(70, 30));
    EXPECT_EQ(DialogUnits::Rect(8, 44, 256, 17).topLeft(), QPoint(14, 83));
    EXPECT_EQ(DialogUnits::X(0), 0);
    EXPECT_EQ(DialogUnits::Y(1), 2);
    EXPECT_EQ(DialogUnits::X(1), 2);
}

}  // namespace
