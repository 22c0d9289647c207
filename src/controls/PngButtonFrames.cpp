#include "PngButtonFrames.h"

PngButtonFrame ChooseFrame(int mode, PngButtonState s) {
    switch (mode) {
        case 1:
            return {s.pressed ? 2 : s.over ? 1 : 0};
        case 4:
        case 7:
            if (s.selected) {
                return {0, 2};
            }
            return {s.over ? 1 : 0};
        case 2:
            return {s.pressed ? 2 : s.over ? 1 : s.selected ? 3 : 0};
        case 3:
            return {s.pressed ? 2 : s.over ? 1 : 0};
        case 5:
            return {s.selected ? 2 : s.over ? 1 : 0};
        default: {
            const int base = s.selected ? 3 : 0;
            return {base + (s.pressed ? 2 : s.over ? 1 : 0)};
        }
    }
}

int SpriteFrameCount(int mode) {
    switch (mode) {
        case 2:
            return 4;
        case 3:
        case 5:
            return 3;
        default:
            return 6;
    }
}

bool SpriteIsHorizontal(int mode) {
    return mode == 3;
}
