#include "PictureListFile.h"

#include <json/value.h>

#include <algorithm>

#include "AtomicFile.h"
#include "JsonLine.h"

namespace zavreo {

namespace {

// The paths the file lists, as far as "num" says; `whole` tells whether that was all of them,
// `rewritable` whether writing them back would give the file again.
std::vector<std::string> ListedPaths(const std::filesystem::path& file, bool& whole,
                                     bool& rewritable) {
    Json::Value root;
    std::vector<std::string> paths;
    whole = false;
    if (!ReadJsonFirstLine(file, root, kMaxPictureListBytes, LineText::kUtf8, &rewritable) ||
        !root.isObject()) {
        return paths;
    }
    const std::vector<std::string> members = root.getMemberNames();
    rewritable =
        rewritable && std::all_of(members.begin(), members.end(), [](const std::string& name) {
            return name == "list" || name == "num";
        });
    const Json::Value& list = root["list"];
    const Json::Value& num = root["num"];
    if (!list.isArray() || !num.isNumeric()) {
        return paths;
    }
    whole = num.isInt() && num.asInt() >= 0 &&
            static_cast<Json::ArrayIndex>(num.asInt()) == list.size();
    if (!(num.asDouble() >= 1)) {
        return paths;
    }
    const Json::ArrayIndex count =
        num.asDouble() >= list.size() ? list.size() : static_cast<Json::ArrayIndex>(num.asDouble());
    for (Json::ArrayIndex i = 0; i < count; ++i) {
        // No file can be named with a NUL byte: such an entry was damaged, not a picture gone.
        if (!list[i].isString() || list[i].asString().find('\0') != std::string::npos) {
            whole = false;
            continue;
        }
        paths.push_back(list[i].asString());
    }
    return paths;
}

Json::Value ListJson(const std::vector<std::string>& paths, std::size_t count) {
    Json::Value root(Json::objectValue);
    Json::Value& list = root["list"] = Json::Value(Json::arrayValue);
    for (std::size_t i = 0; i < count; ++i) {
        list.append(paths[i]);
    }
    root["num"] = static_cast<Json::Int>(count);
    return root;
}

}  // namespace

std::vector<std::string> LoadPictureList(const std::filesystem::path& file) {
    bool whole = false;
    bool rewritable = true;
    std::vector<std::string> paths;
    for (std::string& path : ListedPaths(file, whole, rewritable)) {
        std::error_code error;
        if (!path.empty() && std::filesystem::exists(path, error)) {
            paths.push_back(std::move(path));
        }
    }
    if (!whole) {
        KeepBeforeReplacing(file);
    } else if (!rewritable) {
        KeepBeforeReplacing(file, KeepReason::kNotWritable);
    }
    return paths;
}

bool SavePictureList(const std::filesystem::path& file, const std::vector<std::string>& paths,
                     std::size_t maxBytes) {
    std::string line = JsonLine(ListJson(paths, paths.size()));
    // Past what the reader takes, the last pictures are left out: as many as fit stay.
    if (line.size() > maxBytes) {
        std::size_t fits = 0;
        std::size_t tooMany = paths.size();
        while (tooMany - fits > 1) {
            const std::size_t middle = fits + (tooMany - fits) / 2;
            if (JsonLine(ListJson(paths, middle)).size() <= maxBytes) {
                fits = middle;
            } else {
                tooMany = middle;
            }
        }
        line = JsonLine(ListJson(paths, fits));
    }
    return WriteFileAtomically(file, line);
}

}  // namespace zavreo
