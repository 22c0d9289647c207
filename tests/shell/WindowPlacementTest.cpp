#include <gtest/gtest.h>

#include "WindowPlacement.h"

using zavreo::RestoredWindowPlace;

TEST(WindowPlacement, TheSavedPlaceIsKeptInsideTheScreenItIsMostOn) {
    const QSize window(870, 620);
    const std::vector<QRect> two = {QRect(0, 0, 1920, 1050), QRect(1920, 0, 1280, 1024)};
    // Whole on a screen: unchanged, on either.
    EXPECT_EQ(RestoredWindowPlace({100, 200}, window, two), QPoint(100, 200));
    EXPECT_EQ(RestoredWindowPlace({2000, 300}, window, two), QPoint(2000, 300));
    // Across the two screens: pulled whole onto the one it is most on.
    EXPECT_EQ(RestoredWindowPlace({1200, 100}, window, two), QPoint(1050, 100));
    EXPECT_EQ(RestoredWindowPlace({1800, 100}, window, two), QPoint(1920, 100));
    // Partly off the desktop: pulled in.
    EXPECT_EQ(RestoredWindowPlace({-300, 900}, window, two), QPoint(0, 430));
    // The right screen unplugged since: a place there is forgotten.
    EXPECT_EQ(RestoredWindowPlace({2500, 300}, window, {two[0]}), std::nullopt);
    EXPECT_EQ(RestoredWindowPlace({-5000, -5000}, window, two), std::nullopt);
    // A screen smaller than the window keeps its top left corner on it.
    EXPECT_EQ(RestoredWindowPlace({50, 50}, window, {QRect(0, 0, 800, 600)}), QPoint(0, 0));
    EXPECT_EQ(RestoredWindowPlace({0, 0}, window, {}), std::nullopt);
}
