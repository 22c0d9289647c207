#include "PictureListFile.h"

#include <json/value.h>

#include <algorithm>

#include "AtomicFile.h"
#include "JsonLine.h"

namespace zavreo {

std::vector<std::string> LoadPictureList(const std::filesystem::path& file) {
    Json::Value root;
    std::vector<std::string> paths;
    if (!ReadJsonFirstLine(file, root) || !root.isObject()) {
        return paths;
    }
    const Json::Value& list = root["list"];
    const Json::Value& num = root["num"];
    if (!list.isArray() || !num.isNumeric() || !(num.asDouble() >= 1)) {
        return paths;
    }
    const Json::ArrayIndex count =
        num.asDouble() >= list.size() ? list.size() : static_cast<Json::ArrayIndex>(num.asDouble());
    for (Json::ArrayIndex i = 0; i < count; ++i) {
        if (!list[i].isString()) {
            continue;
        }
        std::string path = list[i].asString();
        std::error_code error;
        if (!path.empty() && std::filesystem::exists(path, error)) {
            paths.push_back(std::move(path));
        }
    }
    return paths;
}

bool SavePictureList(const std::filesystem::path& file, const std::vector<std::string>& paths) {
    Json::Value root(Json::objectValue);
    Json::Value& list = root["list"] = Json::Value(Json::arrayValue);
    for (const std::string& path : paths) {
        list.append(path);
    }
    root["num"] = static_cast<Json::Int>(paths.size());
    return WriteFileAtomically(file, JsonLine(root));
}

}  // namespace zavreo
