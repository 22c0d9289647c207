#include "EffectRules.h"

#include <cstdio>

namespace zavreo::effects {

std::string ScaleValue(int position) {
    // Narrowed to single precision before printing, as the engine has always received it.
    const float scale = static_cast<float>((50.0 - position) / 50.0);
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", static_cast<double>(scale));
    return text;
}

std::string BrightnessValue(int position) {
    return std::to_string(static_cast<int>(position * 0.8));
}

std::string LevelValue(int position) {
    return std::to_string(static_cast<int>(position * 0.3));
}

std::string FormatColorHex(int64_t colorValue) {
    char text[8];
    std::snprintf(text, sizeof text, "%06X", static_cast<unsigned>(colorValue & kColorMask));
    return text;
}

namespace {

template <size_t N>
std::optional<std::string> At(const std::array<const char*, N>& table, int index) {
    if (index < 0 || static_cast<size_t>(index) >= N) {
        return std::nullopt;
    }
    return std::string(table[static_cast<size_t>(index)]);
}

constexpr std::array<const char*, 3> kPosY = {"0", "500", "1000"};
constexpr std::array<const char*, 3> kSpeeds = {"0", "80", "-80"};
constexpr std::array<const char*, 3> kAlphas = {"00", "7F", "FF"};

}  // namespace

std::optional<std::string> FontSizeAt(int index) {
    return At(kFontSizes, index);
}
std::optional<std::string> PosYAt(int index) {
    return At(kPosY, index);
}
std::optional<std::string> SpeedAt(int index) {
    return At(kSpeeds, index);
}
std::optional<std::string> AlphaAt(int index) {
    return At(kAlphas, index);
}

SunChange SunOn(int preset, bool otherOn) {
    if (otherOn) {
        return {SunCall::kModify, "2"};
    }
    return {SunCall::kAdd, preset == kLeftSun ? "0" : "1"};
}

SunChange SunOff(int preset, bool otherOn) {
    if (otherOn) {
        // What stays is the other side alone.
        return {SunCall::kModify, preset == kLeftSun ? "1" : "0"};
    }
    return {SunCall::kRemove, std::nullopt};
}

}  // namespace zavreo::effects
