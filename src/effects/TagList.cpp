#include "TagList.h"

#include <algorithm>

namespace zavreo::effects {

bool TagList::Add(int number) {
    if (number < 1 || number > kMaxTags || Contains(number)) {
        return false;
    }
    entries_.push_back(number);
    return true;
}

bool TagList::RemoveAt(int tag) {
    if (tag < 0 || tag >= Size()) {
        return false;
    }
    entries_.erase(entries_.begin() + tag);
    return true;
}

bool TagList::Contains(int number) const {
    return std::find(entries_.begin(), entries_.end(), number) != entries_.end();
}

int TagList::At(int tag) const {
    return tag >= 0 && tag < Size() ? entries_[static_cast<size_t>(tag)] : 0;
}

bool TagList::InCloseArea(const QRect& tag, const QPoint& at) {
    const int closeLeft = tag.left() + static_cast<int>(0.75 * tag.width());
    // QRect's right() is the last column inside; the close area runs to the edge.
    return at.x() >= closeLeft && at.x() < tag.left() + tag.width() && at.y() >= tag.top() &&
           at.y() < tag.top() + tag.height();
}

}  // namespace zavreo::effects
