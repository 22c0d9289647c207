#pragma once
// The active entries of a thumbnail page (filter presets or decorations, numbered 1 to 5) in the
// order they were turned on, as the page's tags show them. Plain logic, no widgets.

#include <QRect>
#include <vector>

namespace zavreo::effects {

class TagList {
public:
    static constexpr int kMaxTags = 5;

    // Appends `number` unless it is already there or out of 1..5; true when appended.
    bool Add(int number);
    // Removes entry `tag` (0-based); false when there is none.
    bool RemoveAt(int tag);
    bool Contains(int number) const;
    // Entry `tag` (0-based), or 0 when there is none.
    int At(int tag) const;
    int Size() const { return static_cast<int>(entries_.size()); }
    const std::vector<int>& Entries() const { return entries_; }

    // A tag closes when clicked in its right quarter: from left + 0.75 x width (truncated) to the
    // right edge, full height.
    static bool InCloseArea(const QRect& tag, const QPoint& at);

private:
    std::vector<int> entries_;
};

}  // namespace zavreo::effects
