#pragma once
// Template placements are in dialog units, which scale with the dialog's font: the main window's
// 9-point font gives 7/4 pixel across and 15/8 down per unit (its 256 x 17 progress box holds the
// 450 x 30 channel), the 8-point font of the small dialogs 6/4 and 13/8.

#include <QRect>

struct DialogUnits {
    int baseX;
    int baseY;

    constexpr QRect Rect(int x, int y, int width, int height) const {
        return QRect(x * baseX / 4, y * baseY / 8, width * baseX / 4, height * baseY / 8);
    }
};

inline constexpr DialogUnits kShellDlg9Units{7, 15};
inline constexpr DialogUnits kShellDlg8Units{6, 13};
