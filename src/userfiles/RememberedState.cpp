#include "RememberedState.h"

#include <json/value.h>

#include "AtomicFile.h"
#include "JsonLine.h"
#include "UserFileReader.h"

namespace zavreo {

namespace {

// The whole file is a few dozen bytes; anything much longer is not ours.
constexpr std::size_t kMaxStateLineBytes = 4096;

std::optional<int> IntIn(const Json::Value& root, const char* member, int low, int high) {
    const Json::Value& value = root[member];
    if (!value.isInt()) {
        return std::nullopt;
    }
    const int number = value.asInt();
    if (number < low || number > high) {
        return std::nullopt;
    }
    return number;
}

RememberedState FromJson(const Json::Value& root) {
    RememberedState state;
    if (!root.isObject()) {
        return state;
    }
    state.volume = IntIn(root, "volume", 0, RememberedState::kMaxVolume)
                       .value_or(RememberedState::kDefaultVolume);
    state.muted = root["muted"].isBool() && root["muted"].asBool();
    state.playMode = IntIn(root, "playMode", 0, RememberedState::kLastPlayMode)
                         .value_or(RememberedState::kDefaultPlayMode);
    const auto width = IntIn(root, "cameraWidth", 1, RememberedState::kMaxFrameSide);
    const auto height = IntIn(root, "cameraHeight", 1, RememberedState::kMaxFrameSide);
    if (width && height) {
        state.cameraSize = FrameSize{*width, *height};
    }
    constexpr int kLimit = RememberedState::kMaxCoordinate;
    const auto x = IntIn(root, "windowX", -kLimit, kLimit);
    const auto y = IntIn(root, "windowY", -kLimit, kLimit);
    if (x && y) {
        state.windowPlace = ScreenPoint{*x, *y};
    }
    return state;
}

}  // namespace

RememberedStateFile::RememberedStateFile(std::filesystem::path file) : file_(std::move(file)) {}

RememberedState RememberedStateFile::Parse(std::string_view line) {
    Json::Value root;
    if (!ParseJsonLine(std::string(line), root)) {
        return {};
    }
    return FromJson(root);
}

std::string RememberedStateFile::Text(const RememberedState& state) {
    Json::Value root(Json::objectValue);
    root["volume"] = state.volume;
    root["muted"] = state.muted;
    root["playMode"] = state.playMode;
    if (state.cameraSize) {
        root["cameraWidth"] = state.cameraSize->width;
        root["cameraHeight"] = state.cameraSize->height;
    }
    if (state.windowPlace) {
        root["windowX"] = state.windowPlace->x;
        root["windowY"] = state.windowPlace->y;
    }
    return JsonLine(root);
}

RememberedState RememberedStateFile::Load() const {
    Json::Value root;
    if (!ReadJsonFirstLine(file_, root, kMaxStateLineBytes)) {
        return {};
    }
    return FromJson(root);
}

bool RememberedStateFile::Save(const RememberedState& state) const {
    std::error_code error;
    std::filesystem::create_directories(file_.parent_path(), error);
    return WriteFileAtomically(file_, Text(state));
}

}  // namespace zavreo
