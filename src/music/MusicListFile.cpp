#include "MusicListFile.h"

#include "AtomicFile.h"
#include "JsonLine.h"
#include "UserFolders.h"

namespace zavreo {

std::filesystem::path MusicListPath() {
    return ConfigFolder() / "music.lst";
}

void LoadMusicList(const Json::Value& root, PlaylistModel& model, ListMenuIds& ids) {
    const Json::Value& lists = root.isObject() ? root["list"] : Json::Value::nullSingleton();
    // "num" is only trusted as far as the lists are there.
    const Json::ArrayIndex present = lists.isArray() ? lists.size() : 0;
    const int num = JsonInt(root, "num");
    const Json::ArrayIndex count = num < 1 ? 0 : std::min<Json::ArrayIndex>(num, present);

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
        const std::string name = JsonText(list, "listname");
        if (name.empty()) {
            continue;
        }
        const Json::Value& songs =
            list.isObject() ? list["musiclist"] : Json::Value::nullSingleton();
        const int musicnum = JsonInt(list, "musicnum");
        const Json::ArrayIndex songCount = musicnum < 1 || !songs.isArray()
                                               ? 0
                                               : std::min<Json::ArrayIndex>(musicnum, songs.size());
        model.AddCategory(name);
        ids.Register(name);
        for (Json::ArrayIndex j = 0; j < songCount; ++j) {
            const std::string path = JsonText(songs[j], "path");
            if (!path.empty()) {
                model.AddItem(name, path);
            }
        }
        const Json::Value& open = list.isObject() ? list["isopen"] : Json::Value::nullSingleton();
        if (songCount > 0 && (open.isBool() ? open.asBool() : JsonInt(list, "isopen") == 1)) {
            model.SetCategoryOpen(name, true);
        }
    }
    model.m_bPlaylistMode = true;
}

void LoadMusicListFile(const std::filesystem::path& file, PlaylistModel& model, ListMenuIds& ids) {
    Json::Value root;
    if (!ReadJsonFirstLine(file, root, kMaxPlaylistLineBytes)) {
        root = Json::Value();
    }
    LoadMusicList(root, model, ids);
}

namespace {

Json::Value ListJson(const std::string& name, const CatCategory& category) {
    Json::Value list(Json::objectValue);
    list["listname"] = name;
    list["musicnum"] = static_cast<int>(category.items.size());
    list["isopen"] = category.isOpen;
    for (const CatItem& item : category.items) {
        Json::Value song(Json::objectValue);
        song["path"] = item.text;
        list["musiclist"].append(song);
    }
    return list;
}

}  // namespace

Json::Value MusicListJson(const PlaylistModel& model) {
    Json::Value root(Json::objectValue);
    root["list"] = Json::Value(Json::arrayValue);
    if (const CatCategory* category = model.Find(kDefaultListName)) {
        root["list"].append(ListJson(kDefaultListName, *category));
    }
    for (const auto& [name, category] : model.categories()) {
        // The stand-in list exists only while a new list's name is typed.
        if (name != kDefaultListName && name != kStandInListName) {
            root["list"].append(ListJson(name, category));
        }
    }
    root["num"] = static_cast<int>(root["list"].size());
    return root;
}

bool SaveMusicListFile(const std::filesystem::path& file, const PlaylistModel& model) {
    return WriteFileAtomically(file, JsonLine(MusicListJson(model)));
}

}  // namespace zavreo
