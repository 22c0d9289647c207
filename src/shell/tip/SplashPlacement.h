#pragma once
// Where the splash goes: over the spot where the main window's 480 x 360 preview will appear.

#include <QRect>

QRect SplashGeometry(const QRect& workArea);
