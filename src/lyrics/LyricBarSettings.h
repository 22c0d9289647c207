#pragma once
// The lyric choices the control bar keeps: colour schemes, the font-size steps and the settings
// group "m_Lyric" of config.lst. Plain rules, no window.

#include <QColor>
#include <array>

namespace zavreo {

struct LyricColorScheme {
    int command;       // menu command 6601..6605
    const char* name;  // menu text
    QColor normal;     // both colours of the normal brush
    QColor highlight;  // both colours of the highlight brush
};

inline const std::array<LyricColorScheme, 5>& LyricColorSchemes() {
    static const std::array<LyricColorScheme, 5> schemes{{
        {6601, "深邃蓝", QColor(0, 9, 189), QColor(54, 49, 252)},
        {6602, "高贵紫", QColor(113, 0, 240), QColor(165, 43, 228)},
        {6603, "活力黄", QColor(253, 244, 0), QColor(255, 156, 0)},
        {6604, "淡雅灰", QColor(147, 146, 146), QColor(236, 236, 236)},
        {6605, "清新绿", QColor(1, 191, 135), QColor(115, 255, 39)},
    }};
    return schemes;
}

inline constexpr int kFirstSchemeCommand = 6601;
inline constexpr int kMinLyricFont = 30;
inline constexpr int kMaxLyricFont = 55;
inline constexpr int kLyricFontStep = 5;

// The font-size buttons: one step within 30..55.
constexpr int BiggerLyricFont(int size) {
    return size >= kMinLyricFont && size < kMaxLyricFont ? size + kLyricFontStep : size;
}
constexpr int SmallerLyricFont(int size) {
    return size > kMinLyricFont && size <= kMaxLyricFont ? size - kLyricFontStep : size;
}
// A stored size outside 30..55 is pulled into it.
constexpr int StoredLyricFont(int size) {
    return size < kMinLyricFont ? kMinLyricFont : size > kMaxLyricFont ? kMaxLyricFont : size;
}

}  // namespace zavreo
