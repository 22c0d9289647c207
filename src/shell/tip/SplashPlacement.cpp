#include "SplashPlacement.h"

QRect SplashGeometry(const QRect& workArea) {
    const int left = workArea.left();
    const int top = workArea.top();
    const int right = left + workArea.width();
    const int bottom = top + workArea.height();
    const int x = left + (right - left - 875) / 2 + 1;
    const int y = top + (bottom - top - 628) / 2 + 200;
    return QRect(x, y, 480, 360);
}
