#pragma once
// The program's icon: the window and tray icon at run time, and the menu's icons in the icon
// theme, which the artwork generator draws from the same function.

#include <QIcon>
#include <QImage>

namespace ProgramIcon {

// The icon `size` pixels square on transparent ground, drawn for that size.
QImage Draw(int size);
// The window icon, drawn at the sizes title bars, task bars and trays ask for.
QIcon Icon();
// The sizes the icon theme gets.
inline constexpr int kThemeSizes[] = {16, 24, 32, 48, 64, 128, 256};

}  // namespace ProgramIcon
