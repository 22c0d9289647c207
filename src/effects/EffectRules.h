#pragma once
// How the effects pages turn their controls into engine parameters: value tables, number formats
// and the rule for the shared sun instance. Plain functions, no widgets.

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>

namespace zavreo::effects {

using ParamMap = std::map<std::string, std::string>;

// Beauty: slider position p (0 to 100) to "scale", "brightness" and "level".
std::string ScaleValue(int position);
std::string BrightnessValue(int position);
std::string LevelValue(int position);

// Six uppercase hex digits of a 0x00BBGGRR colour value; bits above the 24 are dropped, so a
// stored value out of range still gives a colour.
std::string FormatColorHex(int64_t colorValue);
inline constexpr uint32_t kColorMask = 0xFFFFFF;

// Subtitle lists: item texts, and the parameter string of each index (nullopt outside the list).
inline constexpr std::array<const char*, 4> kFontNames = {"宋体", "黑体", "华文新魏", "微软雅黑"};
inline constexpr std::array<const char*, 8> kFontSizes = {"12", "24", "36", "48",
                                                          "60", "72", "84", "96"};
inline constexpr std::array<const char*, 3> kPositionNames = {"顶部", "中部", "底部"};
inline constexpr std::array<const char*, 3> kDirectionNames = {"静止", "向右", "向左"};
inline constexpr std::array<const char*, 3> kTransparencyNames = {"透明", "半透明", "不透明"};
std::optional<std::string> FontSizeAt(int index);
std::optional<std::string> PosYAt(int index);
std::optional<std::string> SpeedAt(int index);
std::optional<std::string> AlphaAt(int index);

// The filter presets that share the sun instance.
inline constexpr int kLeftSun = 3;
inline constexpr int kRightSun = 4;

enum class SunCall { kAdd, kModify, kRemove };
struct SunChange {
    SunCall call;
    std::optional<std::string> type;  // the new "type", when it changes
};
// What turning sun preset `preset` on or off does to the one sun instance, given whether the other
// sun preset is on: {3} "0", {4} "1", {3, 4} "2", and the instance goes with the last of them.
SunChange SunOn(int preset, bool otherOn);
SunChange SunOff(int preset, bool otherOn);

}  // namespace zavreo::effects
