#include "WindowPlacement.h"

#include <algorithm>

namespace zavreo {

std::optional<QPoint> RestoredWindowPlace(QPoint saved, QSize window,
                                          const std::vector<QRect>& screens) {
    const QRect placed(saved, window);
    const QRect* best = nullptr;
    long long bestArea = 0;
    for (const QRect& screen : screens) {
        const QRect common = screen.intersected(placed);
        const long long area = static_cast<long long>(common.width()) * common.height();
        if (!common.isEmpty() && area > bestArea) {
            best = &screen;
            bestArea = area;
        }
    }
    if (best == nullptr) {
        return std::nullopt;
    }
    // A window larger than the screen keeps its top left corner on it.
    const int x = std::max(best->left(), std::min(saved.x(), best->right() + 1 - window.width()));
    const int y = std::max(best->top(), std::min(saved.y(), best->bottom() + 1 - window.height()));
    return QPoint(x, y);
}

}  // namespace zavreo
