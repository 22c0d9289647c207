#pragma once
// The playlists as the songs view shows them: named lists (categories) of song paths, the rows
// of the view (a header row per list, then its songs while the list is open), and the playing and
// selected markers. Lists are kept in byte order of their names; header rows appear in the order
// the lists were added. User-interface thread only.

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace zavreo {

// Results of the operations, with the values the rest of the program compares against.
inline constexpr int32_t kResultOk = 0;
inline constexpr int32_t kResultPointer = static_cast<int32_t>(0x80004003u);
inline constexpr int32_t kResultInvalidArg = static_cast<int32_t>(0x80070057u);
inline constexpr int32_t kResultFail = static_cast<int32_t>(0x80004005u);

inline constexpr const char* kDefaultListName = "默认列表";
// The stand-in list that makes room for the name edit box of a new list; never written to the
// list file.
inline constexpr const char* kStandInListName = "\x01placeholder";

enum ItemState { ItemNormal = 0, ItemPlaying = 1, ItemSelected = 2 };

struct CatItem {
    std::string text;  // the song's full path
    int state = ItemNormal;
};

struct CatCategory {
    bool isOpen = false;
    int headerRow = -1;
    int addButtonState = 0;
    int reserved = 0;
    int menuButtonState = 0;
    std::vector<CatItem> items;
};

// A list and the index of one of its songs.
struct SongMarker {
    std::string list;
    std::string path;
    int index = -1;
    bool set = false;
};

class PlaylistModel {
public:
    using Categories = std::map<std::string, CatCategory>;

    // `stopPlayer` is called when the list holding the playing song is cleared or removed.
    explicit PlaylistModel(std::function<void()> stopPlayer = {});
    PlaylistModel(const PlaylistModel&) = delete;
    PlaylistModel& operator=(const PlaylistModel&) = delete;

    int32_t AddCategory(const char* name) {
        return name == nullptr ? kResultPointer : AddCategory(std::string(name));
    }
    // The whole name, a NUL inside it included (a name read from music.lst may hold one).
    int32_t AddCategory(const std::string& name);
    int32_t RemoveCategory(const std::string& name);
    void ClearCategory(const std::string& name);
    int32_t RenameCategory(const std::string& oldName, const std::string& newName);
    // The song's index, or -1 when the list did not exist and could not be created.
    int AddItem(const std::string& list, const std::string& path);
    int32_t RemoveItem(const std::string& list, int index);
    int32_t RemoveRow(int row);
    int32_t SetCategoryOpen(const std::string& list, bool open);
    bool ContainsPath(const std::string& list, const std::string& path) const;
    // The song's path, or "err".
    std::string GetItemText(const std::string& list, int index) const;
    int32_t GetItemState(const std::string& list, int index) const;
    int32_t SetItemState(const std::string& list, int index, int state);
    // Empty for a row that shows nothing.
    std::string CategoryAtRow(int row) const;
    void MarkPlaying(int index, const std::string& path, const std::string& list);
    void MarkSelected(int index, const std::string& path, const std::string& list);
    void ClearPlaying() { playing_ = {}; }
    void ClearSelected() { selected_ = {}; }

    // The first song from `start` (inclusive) whose file exists, going `step` (+1 or -1) through
    // the list cyclically and trying each song once; -1 when none exists.
    int FirstExisting(const std::string& list, int start, int step) const;
    // A song of the playing list other than the playing one; the song itself in a one-song list,
    // -1 in an empty or missing one.
    int RandomIndex();

    const Categories& categories() const { return categories_; }
    const CatCategory* Find(const std::string& list) const;
    CatCategory* Find(const std::string& list);
    int SongCount(const std::string& list) const;

    int RowCount() const { return static_cast<int>(rows_.size()); }
    // The list and song a row shows; song -1 for a header, list null for an empty row.
    struct RowContent {
        const std::string* list = nullptr;
        const CatCategory* category = nullptr;
        int song = -1;
    };
    RowContent Row(int row) const;

    const SongMarker& Playing() const { return playing_; }
    const SongMarker& Selected() const { return selected_; }

    std::string m_strCurPath;
    int m_nClickedRow = -1;
    // The view's current row (keyboard focus); a renamed list's header becomes it.
    int m_nCurrentRow = -1;
    int m_nModeMark = 2;
    bool m_bPlaylistMode = false;

    // A song's file name without its folder and extension ("a/b/晴天.flac" gives "晴天"); a name
    // whose only dot is its first character keeps it (".mp3" gives ".mp3").
    static std::string DisplayName(const std::string& path);
    // The folder of a song, up to and including its last "/".
    static std::string FolderOf(const std::string& path);

    // Called after rows or states change, so that a view repaints.
    std::function<void()> changed;

private:
    using Entry = Categories::value_type;

    void InsertRows(int at, Entry* entry, int count);
    void DeleteRows(int at, int count);
    void ShiftHeaders(int after, int by);
    // Keeps the markers on their songs when song `index` of `list` goes away.
    void ForgetSong(const std::string& list, int index);
    void DropMarkersOf(const std::string& list);
    void Changed() const;

    Categories categories_;
    // The list each row belongs to. Map nodes keep their address, also when renamed.
    std::vector<Entry*> rows_;
    SongMarker playing_;
    SongMarker selected_;
    std::function<void()> stopPlayer_;
    uint32_t randomState_;
};

// The "添加到" menu's ids: each list registered since start gets the next id from 11004, never
// reused.
class ListMenuIds {
public:
    static constexpr int kFirstId = 11004;

    int Register(const std::string& name);
    void Remove(const std::string& name);
    void Rename(const std::string& oldName, const std::string& newName);
    const std::map<int, std::string>& Ids() const { return ids_; }
    // Empty when the id is not registered.
    std::string NameOf(int id) const;

private:
    std::map<int, std::string> ids_;
    int next_ = kFirstId;
};

}  // namespace zavreo
