#pragma once
// The songs view's menus and dialogs: the play-mode, add, list and song menus at the cursor, the
// file dialog and folder browser for adding songs, the name edit box's commit, and the commands
// each menu item carries out. Interface thread.

#include <QObject>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "CSideBarMenu.h"
#include "SongSearch.h"

class CCatListBox;
class QWidget;

namespace zavreo {

class ListMenuIds;
class MusicController;
class PlaylistCommands;
class PlaylistModel;
class SongTagCache;

// Command ids of the songs view's menus.
enum PlaylistCommandId {
    ID_ADD_NEW_LIST = 5001,
    ID_ADD_SONGS = 5002,
    ID_ADD_FOLDER = 5003,
    ID_LIST_NEW_LIST = 5011,
    ID_LIST_ADD_SONGS = 5012,
    ID_LIST_CLEAR = 5013,
    ID_LIST_DELETE = 5014,
    ID_LIST_RENAME = 5015,
    ID_MODE_SINGLE_ONCE = 5031,
    ID_MODE_SINGLE_LOOP = 5032,
    ID_MODE_LIST_LOOP = 5033,
    ID_MODE_RANDOM = 5034,
    ID_SONG_PLAY = 11001,
    ID_SONG_REMOVE = 11002,
    ID_SONG_OPEN_FOLDER = 11003,
};

class PlaylistPanel : public QObject {
    Q_OBJECT
public:
    PlaylistPanel(CCatListBox& list, PlaylistModel& model, ListMenuIds& ids,
                  PlaylistCommands& commands, MusicController& player, QWidget* dialogParent);

    // The mode `mode` (a PlayMode) is marked as the one in force.
    static std::unique_ptr<CSideBarMenu> ModeMenu(QWidget* parent, int mode);
    static std::unique_ptr<CSideBarMenu> AddMenu(QWidget* parent);
    static std::unique_ptr<CSideBarMenu> ListMenu(QWidget* parent);
    static std::unique_ptr<CSideBarMenu> SongMenu(QWidget* parent, const ListMenuIds& ids);

    // Menus at the cursor, as the list asks for them.
    void OnModeMenu();
    void OnAddMenu();
    void OnListMenu();
    void OnSongMenu();
    void OnCommitName(bool byEnter);
    // Carries out a menu command on the list (and song) at the clicked row; false for an id
    // that is not the songs view's.
    bool OnCommand(int id);

    // The music panel's search: the next song matching `query`; none when no song matches.
    std::optional<SongSearch::Match> NextSearchMatch(const std::string& query);
    // Opens the song's list, selects the song as a click would (a playing song stays playing) and
    // scrolls the view to it.
    void ShowSong(const SongSearch::Match& song);
    // Where the search finds titles and artists.
    void SetSongTags(SongTagCache* tags) { tags_ = tags; }

    // How songs, folders and the file manager are reached; the file dialog, the folder browser
    // and the desktop's file manager unless replaced.
    std::function<std::vector<std::string>()> chooseFiles;
    std::function<std::optional<std::filesystem::path>()> chooseFolder;
    std::function<void(const std::string& folder)> openFolder;

private:
    void Track(CSideBarMenu& menu);
    void ResetButtons();

    CCatListBox& list_;
    PlaylistModel& model_;
    ListMenuIds& ids_;
    PlaylistCommands& commands_;
    MusicController& player_;
    QWidget* dialogParent_;
    SongTagCache* tags_ = nullptr;
    SongSearch search_;
};

}  // namespace zavreo
