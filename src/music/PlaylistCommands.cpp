#include "PlaylistCommands.h"

#include <algorithm>

#include "AudioFileTypes.h"
#include "MusicListFile.h"
#include "TipTexts.h"

namespace zavreo {

PlaylistCommands::PlaylistCommands(PlaylistModel& model, ListMenuIds& ids,
                                   std::filesystem::path musicList,
                                   std::function<void(const char*)> showTip)
    : model_(model), ids_(ids), musicList_(std::move(musicList)), showTip_(std::move(showTip)) {}

bool PlaylistCommands::Save() const {
    return SaveMusicListFile(musicList_, model_);
}

bool PlaylistCommands::MayRename(int row) {
    if (model_.CategoryAtRow(row) == kDefaultListName) {
        showTip_(TipText::kCannotRenameDefaultList);
        return false;
    }
    return true;
}

void PlaylistCommands::CommitNewList(const std::string& name, bool byEnter) {
    if (name.empty()) {
        return;
    }
    if (model_.Find(name) != nullptr) {
        showTip_(byEnter ? TipText::kListNameTakenOnEnter : TipText::kListNameTaken);
        return;
    }
    if (model_.AddCategory(name) == kResultOk) {
        ids_.Register(name);
    }
}

void PlaylistCommands::CommitRename(const std::string& list, const std::string& name,
                                    bool byEnter) {
    if (name.empty() || list.empty() || list == kDefaultListName || list == kStandInListName) {
        return;
    }
    const std::string old = list;
    if (model_.Find(name) != nullptr) {
        showTip_(byEnter ? TipText::kListNameTakenOnEnter : TipText::kListNameTaken);
        return;
    }
    if (model_.RenameCategory(old, name) == kResultOk) {
        ids_.Rename(old, name);
    }
}

void PlaylistCommands::AddSong(const std::string& list, const std::string& path,
                               const char* duplicateTip) {
    if (model_.ContainsPath(list, path)) {
        showTip_(duplicateTip);
        return;
    }
    if (model_.AddItem(list, path) >= 0) {
        model_.SetCategoryOpen(list, true);
    }
}

void PlaylistCommands::AddFiles(const std::vector<std::string>& paths) {
    const std::string target = m_bAddToDefault ? std::string(kDefaultListName)
                                               : model_.CategoryAtRow(model_.m_nClickedRow);
    if (!target.empty()) {
        for (const std::string& path : paths) {
            if (!path.empty()) {
                AddSong(target, path, TipText::kSongInCurrentList);
            }
        }
    }
    Save();
    m_bAddToDefault = false;
}

std::vector<std::string> PlaylistCommands::SongsInFolder(
    const std::filesystem::path& folder, const std::vector<std::string>& extensions) {
    std::vector<std::string> songs;
    std::error_code error;
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end;
         it.increment(error)) {
        std::error_code kind;
        if (it->is_directory(kind)) {
            continue;
        }
        const std::string name = it->path().filename().string();
        if (IsSongFileName(name, extensions)) {
            songs.push_back(it->path().string());
        }
    }
    std::sort(songs.begin(), songs.end());
    return songs;
}

void PlaylistCommands::AddFolder(const std::filesystem::path& folder) {
    const std::string target = model_.CategoryAtRow(model_.m_nClickedRow);
    if (!target.empty()) {
        for (const std::string& path : SongsInFolder(folder, songExtensions_)) {
            AddSong(target, path, TipText::kSongInCurrentList);
        }
    }
    Save();
}

void PlaylistCommands::ClearList(int row) {
    const std::string list = model_.CategoryAtRow(row);
    if (list.empty()) {
        return;
    }
    model_.ClearCategory(list);
    Save();
}

void PlaylistCommands::DeleteList(int row) {
    const std::string list = model_.CategoryAtRow(row);
    if (list.empty()) {
        return;
    }
    if (list == kDefaultListName) {
        showTip_(TipText::kCannotDeleteDefaultList);
        return;
    }
    ids_.Remove(list);
    model_.RemoveCategory(list);
    Save();
}

void PlaylistCommands::AddToList(int menuId, int row) {
    const std::string target = ids_.NameOf(menuId);
    const PlaylistModel::RowContent content = model_.Row(row);
    if (target.empty() || content.list == nullptr || content.song < 0) {
        return;
    }
    const std::string path = model_.GetItemText(*content.list, content.song);
    AddSong(target, path, TipText::kSongInTargetList);
}

}  // namespace zavreo
