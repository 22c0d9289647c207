#pragma once
// What the windowing system lets the program do with its top-level windows. On X11 the program
// places them and keeps them above others; a Wayland compositor places every top-level window
// itself and ignores moves and stacking requests, so there the windows that must stay together
// are made one, and no window is moved.

#include <QGuiApplication>

namespace WindowSystem {

inline bool PlacesTopLevels() {
    return !QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

}  // namespace WindowSystem
