#pragma once
// The five decorations: the parameter maps their overlay instances are added with, built once by
// the main window, and their names.

#include <array>

#include "EffectRules.h"

namespace zavreo::effects {

inline constexpr int kDecorationCount = 5;

struct DecorationName {
    const char* instance;  // the overlay instance in the engine's chain
    const char* display;   // under the thumbnail and on the tag
};
// In decoration-number order (1 to 5).
inline constexpr std::array<DecorationName, kDecorationCount> kDecorationNames = {{
    {"QiuShouHu", "求守护"},
    {"LiWuShuaQi", "礼物刷起"},
    {"QiuGuanZhu", "求关注"},
    {"ShanGuang", "闪光"},
    {"QiuDaiWoFei", "求带我飞"},
}};

// "pictures" (the frame files, program-relative, joined by ","), "fps" "10", "loop" "true",
// "delay" "5000"; decoration 2 also "pos_x" "0" and "pos_y" "800". Entry i is decoration i + 1.
std::array<ParamMap, kDecorationCount> BuildDecorationDefinitions();

}  // namespace zavreo::effects
