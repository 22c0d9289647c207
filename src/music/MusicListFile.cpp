#include "MusicListFile.h"

#include <algorithm>
#include <set>

#include "AtomicFile.h"
#include "JsonLine.h"
#include "UserFolders.h"

namespace zavreo {

std::filesystem::path MusicListPath() {
    return ConfigFolder() / "music.lst";
}

namespace {

// "<name>(N)" for the first N from 2 that no list has yet.
std::string FreeName(const PlaylistModel& model, const std::string& name) {
    for (int number = 2;; ++number) {
        std::string candidate = name + "(" + std::to_string(number) + ")";
        if (model.Find(candidate) == nullptr) {
            return candidate;
        }
    }
}

bool OnlyMembers(const Json::Value& value, std::initializer_list<const char*> known) {
    if (!value.isObject()) {
        return true;
    }
    for (const std::string& name : value.getMemberNames()) {
        if (std::none_of(known.begin(), known.end(), [&](const char* k) { return name == k; })) {
            return false;
        }
    }
    return true;
}

}  // namespace

bool MusicListRewritesWhole(const Json::Value& root) {
    if (!OnlyMembers(root, {"list", "num"})) {
        return false;
    }
    const Json::Value& lists = root.isObject() ? root["list"] : Json::Value::nullSingleton();
    std::set<std::string> names;
    for (Json::ArrayIndex i = 0; lists.isArray() && i < lists.size(); ++i) {
        const Json::Value& list = lists[i];
        if (!OnlyMembers(list, {"listname", "musicnum", "isopen", "musiclist"}) ||
            (list.isObject() && !names.insert(JsonText(list, "listname")).second)) {
            return false;
        }
        const Json::Value& songs =
            list.isObject() ? list["musiclist"] : Json::Value::nullSingleton();
        for (Json::ArrayIndex j = 0; songs.isArray() && j < songs.size(); ++j) {
            if (!OnlyMembers(songs[j], {"path"})) {
                return false;
            }
        }
    }
    return true;
}

bool LoadMusicList(const Json::Value& root, PlaylistModel& model, ListMenuIds& ids) {
    const Json::Value& lists = root.isObject() ? root["list"] : Json::Value::nullSingleton();
    // "num" is only trusted as far as the lists are there.
    const Json::ArrayIndex present = lists.isArray() ? lists.size() : 0;
    const int num = JsonInt(root, "num");
    const Json::ArrayIndex count = num < 1 ? 0 : std::min<Json::ArrayIndex>(num, present);
    bool whole = lists.isArray() && root["num"].isInt() && count == present;

    bool hasDefault = false;
    for (Json::ArrayIndex i = 0; i < count; ++i) {
        hasDefault = hasDefault || JsonText(lists[i], "listname") == kDefaultListName;
    }
    if (!hasDefault) {
        model.AddCategory(kDefaultListName);
        ids.Register(kDefaultListName);
    }
    for (Json::ArrayIndex i = 0; i < count; ++i) {
        const Json::Value& list = lists[i];
        std::string name = JsonText(list, "listname");
        if (name.empty()) {
            whole = false;
            continue;
        }
        // Two lists of one name stay two lists.
        if (model.Find(name) != nullptr) {
            name = FreeName(model, name);
        }
        const Json::Value& songs =
            list.isObject() ? list["musiclist"] : Json::Value::nullSingleton();
        const int musicnum = JsonInt(list, "musicnum");
        const Json::ArrayIndex songCount = musicnum < 1 || !songs.isArray()
                                               ? 0
                                               : std::min<Json::ArrayIndex>(musicnum, songs.size());
        const Json::ArrayIndex songsPresent = songs.isArray() ? songs.size() : 0;
        whole = whole && (songs.isNull() || songs.isArray()) && musicnum >= 0 &&
                static_cast<Json::ArrayIndex>(musicnum) == songsPresent;
        model.AddCategory(name);
        ids.Register(name);
        for (Json::ArrayIndex j = 0; j < songCount; ++j) {
            const std::string path = JsonText(songs[j], "path");
            if (path.empty()) {
                whole = false;
            } else {
                model.AddItem(name, path);
            }
        }
        const Json::Value& open = list.isObject() ? list["isopen"] : Json::Value::nullSingleton();
        // Only a list with songs opens (and is written back open).
        if (!model.Find(name)->items.empty() &&
            (open.isBool() ? open.asBool() : JsonInt(list, "isopen") == 1)) {
            model.SetCategoryOpen(name, true);
        }
    }
    model.m_bPlaylistMode = true;
    return whole;
}

void LoadMusicListFile(const std::filesystem::path& file, PlaylistModel& model, ListMenuIds& ids) {
    Json::Value root;
    bool rewritable = false;
    if (!ReadJsonFirstLine(file, root, kMaxPlaylistLineBytes, LineText::kUtf8, &rewritable)) {
        root = Json::Value();
    }
    if (!LoadMusicList(root, model, ids)) {
        KeepBeforeReplacing(file);
    } else if (!rewritable || !MusicListRewritesWhole(root)) {
        KeepBeforeReplacing(file, KeepReason::kNotWritable);
    }
}

namespace {

// `songsLeft` songs at most; what is written is taken from it.
Json::Value ListJson(const std::string& name, const CatCategory& category, std::size_t& songsLeft) {
    Json::Value list(Json::objectValue);
    list["listname"] = name;
    const std::size_t songs = std::min(category.items.size(), songsLeft);
    songsLeft -= songs;
    list["musicnum"] = static_cast<int>(songs);
    list["isopen"] = category.isOpen;
    for (std::size_t i = 0; i < songs; ++i) {
        Json::Value song(Json::objectValue);
        song["path"] = category.items[i].text;
        list["musiclist"].append(song);
    }
    return list;
}

}  // namespace

Json::Value MusicListJson(const PlaylistModel& model, std::size_t maxSongs) {
    Json::Value root(Json::objectValue);
    root["list"] = Json::Value(Json::arrayValue);
    if (const CatCategory* category = model.Find(kDefaultListName)) {
        root["list"].append(ListJson(kDefaultListName, *category, maxSongs));
    }
    for (const auto& [name, category] : model.categories()) {
        // The stand-in list exists only while a new list's name is typed.
        if (name != kDefaultListName && name != kStandInListName) {
            root["list"].append(ListJson(name, category, maxSongs));
        }
    }
    root["num"] = static_cast<int>(root["list"].size());
    return root;
}

bool SaveMusicListFile(const std::filesystem::path& file, const PlaylistModel& model,
                       std::size_t maxBytes) {
    std::string line = JsonLine(MusicListJson(model));
    // Past what the reader takes, the last songs are left out: as many as fit stay.
    if (line.size() > maxBytes) {
        std::size_t fits = 0;
        std::size_t tooMany = 0;
        for (const auto& entry : model.categories()) {
            tooMany += entry.second.items.size();
        }
        while (tooMany - fits > 1) {
            const std::size_t middle = fits + (tooMany - fits) / 2;
            if (JsonLine(MusicListJson(model, middle)).size() <= maxBytes) {
                fits = middle;
            } else {
                tooMany = middle;
            }
        }
        line = JsonLine(MusicListJson(model, fits));
    }
    return WriteFileAtomically(file, line);
}

}  // namespace zavreo
