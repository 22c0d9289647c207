#include <gtest/gtest.h>

#include "PngButtonFrames.h"

namespace {

constexpr PngButtonState kRest{false, false, false};
constexpr PngButtonState kOver{false, true, false};
constexpr PngButtonState kPressed{true, true, false};

PngButtonState Selected(bool pressed, bool over) {
    return {pressed, over, true};
}

TEST(PngButtonFrames, ThreeImagesShowPressOverRest) {
    EXPECT_EQ(ChooseFrame(1, kRest), (PngButtonFrame{0}));
    EXPECT_EQ(ChooseFrame(1, kOver), (PngButtonFrame{1}));
    EXPECT_EQ(ChooseFrame(1, kPressed), (PngButtonFrame{2}));
    // The selected state means nothing to a plain button.
    EXPECT_EQ(ChooseFrame(1, Selected(false, false)), (PngButtonFrame{0}));
}

TEST(PngButtonFrames, TwoStateShowsSelectedOverRestWhateverTheMouse) {
    for (int mode : {4, 7}) {
        EXPECT_EQ(ChooseFrame(mode, Selected(false, false)), (PngButtonFrame{0, 2}));
        EXPECT_EQ(ChooseFrame(mode, Selected(false, true)), (PngButtonFrame{0, 2}));
        EXPECT_EQ(ChooseFrame(mode, Selected(true, true)), (PngButtonFrame{0, 2}));
        // Deselected it is back to rest or over; pressing is not shown.
        EXPECT_EQ(ChooseFrame(mode, kRest), (PngButtonFrame{0}));
        EXPECT_EQ(ChooseFrame(mode, kOver), (PngButtonFrame{1}));
        EXPECT_EQ(ChooseFrame(mode, kPressed), (PngButtonFrame{1}));
    }
}

TEST(PngButtonFrames, SpritesPickTheirFrames) {
    // Four stacked: the pressed and over frames win over selected.
    EXPECT_EQ(ChooseFrame(2, Selected(false, false)).image, 3);
    EXPECT_EQ(ChooseFrame(2, Selected(false, true)).image, 1);
    EXPECT_EQ(ChooseFrame(2, Selected(true, true)).image, 2);
    EXPECT_EQ(ChooseFrame(3, kPressed).image, 2);
    EXPECT_EQ(ChooseFrame(3, Selected(false, false)).image, 0);
    EXPECT_EQ(ChooseFrame(5, Selected(true, true)).image, 2);
    EXPECT_EQ(ChooseFrame(5, kOver).image, 1);
    // Six stacked: the selected row repeats rest, over, pressed.
    EXPECT_EQ(ChooseFrame(6, Selected(false, true)).image, 4);
    EXPECT_EQ(ChooseFrame(6, Selected(true, true)).image, 5);
    EXPECT_EQ(ChooseFrame(6, Selected(false, false)).image, 3);
    EXPECT_EQ(ChooseFrame(6, kPressed).image, 2);
    EXPECT_EQ(ChooseFrame(9, Selected(false, true)).image, 4);
    EXPECT_EQ(ChooseFrame(6, kOver).overlay, -1);
}

}  // namespace
