#pragma once
// What the songs view's menus do to the playlists: new and renamed lists, adding songs from
// files and folders, clearing and deleting lists, "添加到" another list, and writing music.lst at
// the moments the lists are meant to be kept. Refusals are told through the tip. Interface
// thread.

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "PlaylistModel.h"

namespace zavreo {

class PlaylistCommands {
public:
    // `showTip` tells the user a refusal; music.lst is written to `musicList`.
    PlaylistCommands(PlaylistModel& model, ListMenuIds& ids, std::filesystem::path musicList,
                     std::function<void(const char*)> showTip);

    // Whether the list at `row` may be renamed; tells the user when not.
    bool MayRename(int row);
    // The typed name of a new list, or the new name of the list `list`. `byEnter` picks the
    // tip's wording. An empty name changes nothing; the default list keeps its name.
    void CommitNewList(const std::string& name, bool byEnter);
    void CommitRename(const std::string& list, const std::string& name, bool byEnter);

    // Songs chosen in the file dialog go to the default list after the music panel's add, else
    // to the list at the clicked row; then the lists are written.
    void AddFiles(const std::vector<std::string>& paths);
    // The songs of `folder` (IsSongFileName with the song extensions, no subfolders) go to the
    // list at the clicked row; then the lists are written.
    void AddFolder(const std::filesystem::path& folder);
    void ClearList(int row);
    void DeleteList(int row);
    void AddToList(int menuId, int row);

    bool Save() const;
    void SetAddToDefault(bool toDefault) { m_bAddToDefault = toDefault; }
    // The kinds of audio file the folder command takes besides "mp3" and "wma".
    void SetSongExtensions(std::vector<std::string> extensions) {
        songExtensions_ = std::move(extensions);
    }
    bool AddToDefault() const { return m_bAddToDefault; }
    const std::filesystem::path& MusicListFile() const { return musicList_; }

    // The songs of `folder` that the folder command takes, in name order.
    static std::vector<std::string> SongsInFolder(const std::filesystem::path& folder,
                                                  const std::vector<std::string>& extensions = {});

private:
    void AddSong(const std::string& list, const std::string& path, const char* duplicateTip);

    PlaylistModel& model_;
    ListMenuIds& ids_;
    std::filesystem::path musicList_;
    std::function<void(const char*)> showTip_;
    bool m_bAddToDefault = false;
    std::vector<std::string> songExtensions_;
};

}  // namespace zavreo
