#pragma once
// Which picture an image button shows for its mode and state. Plain logic, no widgets.

// What to draw: for the three-image forms `image` is 0 (A), 1 (B) or 2 (C) and `overlay` is 2 when
// C goes over A; for the sprite forms `image` is the frame number and `overlay` is -1.
struct PngButtonFrame {
    int image = 0;
    int overlay = -1;
    bool operator==(const PngButtonFrame&) const = default;
};

struct PngButtonState {
    bool pressed = false;
    bool over = false;
    bool selected = false;
};

// Modes: 1 three images; 4 and 7 three images with C as the selected picture; sprites 2 (four
// stacked), 3 (three side by side), 5 (three stacked), anything else six stacked.
PngButtonFrame ChooseFrame(int mode, PngButtonState state);

// Number of frames in a sprite of the mode and whether they lie side by side.
int SpriteFrameCount(int mode);
bool SpriteIsHorizontal(int mode);
