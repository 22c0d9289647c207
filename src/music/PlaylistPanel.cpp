#include "PlaylistPanel.h"

#include <QCursor>
#include <QDesktopServices>
#include <QFileDialog>
#include <QUrl>

#include "AudioFileTypes.h"
#include "CCatListBox.h"
#include "ChooserFolder.h"
#include "InstalledAudioTypes.h"
#include "MusicController.h"
#include "PlaylistCommands.h"
#include "PlaylistModel.h"
#include "SongTagCache.h"

namespace zavreo {

PlaylistPanel::PlaylistPanel(CCatListBox& list, PlaylistModel& model, ListMenuIds& ids,
                             PlaylistCommands& commands, MusicController& player,
                             QWidget* dialogParent)
    : QObject(&list),
      list_(list),
      model_(model),
      ids_(ids),
      commands_(commands),
      player_(player),
      dialogParent_(dialogParent) {
    chooseFiles = [this] {
        std::vector<std::string> paths;
        const QStringList chosen = QFileDialog::getOpenFileNames(
            dialogParent_, QString(), ChooserFolder::StartFor(ChooserFolder::Kind::Music),
            QString::fromStdString(AudioFileFilter(InstalledAudioExtensions())));
        ChooserFolder::RememberFiles(ChooserFolder::Kind::Music, chosen);
        for (const QString& path : chosen) {
            paths.push_back(path.toStdString());
        }
        return paths;
    };
    chooseFolder = [this]() -> std::optional<std::filesystem::path> {
        const QString folder = QFileDialog::getExistingDirectory(
            dialogParent_, QStringLiteral("请选择需要打包的目录："),
            ChooserFolder::StartFor(ChooserFolder::Kind::Music));
        ChooserFolder::RememberFolder(ChooserFolder::Kind::Music, folder);
        if (folder.isEmpty()) {
            return std::nullopt;
        }
        return std::filesystem::path(folder.toStdString());
    };
    openFolder = [](const std::string& folder) {
        QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(folder)));
    };
    commands_.SetSongExtensions(InstalledAudioExtensions());
    connect(&list_, &CCatListBox::ModeMenuRequested, this, &PlaylistPanel::OnModeMenu);
    connect(&list_, &CCatListBox::AddMenuRequested, this, &PlaylistPanel::OnAddMenu);
    connect(&list_, &CCatListBox::ListMenuRequested, this, &PlaylistPanel::OnListMenu);
    connect(&list_, &CCatListBox::SongMenuRequested, this, &PlaylistPanel::OnSongMenu);
    connect(&list_, &CCatListBox::CommitNameRequested, this, &PlaylistPanel::OnCommitName);
    connect(&list_, &CCatListBox::SongClicked, &player_, &MusicController::SongClicked);
    connect(&list_, &CCatListBox::SongDoubleClicked, &player_, &MusicController::SongDoubleClicked);
}

namespace {

struct MenuItem {
    int id;
    const char* text;
};

std::unique_ptr<CSideBarMenu> MenuOf(QWidget* parent, std::initializer_list<MenuItem> items) {
    auto menu = std::make_unique<CSideBarMenu>(parent);
    for (const MenuItem& item : items) {
        menu->AppendMenu(item.id, item.text);
    }
    return menu;
}

}  // namespace

std::unique_ptr<CSideBarMenu> PlaylistPanel::ModeMenu(QWidget* parent, int mode) {
    auto menu = MenuOf(parent, {{ID_MODE_SINGLE_ONCE, "单曲播放"},
                                {ID_MODE_SINGLE_LOOP, "单曲循环"},
                                {ID_MODE_LIST_LOOP, "列表循环"},
                                {ID_MODE_RANDOM, "随机播放"}});
    for (QAction* action : menu->actions()) {
        action->setCheckable(true);
        action->setChecked(CSideBarMenu::CommandId(action) - ID_MODE_SINGLE_ONCE == mode);
    }
    return menu;
}

std::unique_ptr<CSideBarMenu> PlaylistPanel::AddMenu(QWidget* parent) {
    return MenuOf(parent, {{ID_ADD_NEW_LIST, "新建列表"},
                           {ID_ADD_SONGS, "添加本地歌曲"},
                           {ID_ADD_FOLDER, "添加本地歌曲文件夹"}});
}

std::unique_ptr<CSideBarMenu> PlaylistPanel::ListMenu(QWidget* parent) {
    return MenuOf(parent, {{ID_LIST_NEW_LIST, "新建列表"},
                           {ID_LIST_ADD_SONGS, "添加本地歌曲"},
                           {ID_LIST_CLEAR, "清空"},
                           {ID_LIST_DELETE, "删除列表"},
                           {ID_LIST_RENAME, "重命名"}});
}

std::unique_ptr<CSideBarMenu> PlaylistPanel::SongMenu(QWidget* parent, const ListMenuIds& ids) {
    auto menu = MenuOf(parent, {{ID_SONG_PLAY, "播放"},
                                {ID_SONG_REMOVE, "删除"},
                                {ID_SONG_OPEN_FOLDER, "打开所在文件夹"}});
    auto* addTo = new CSideBarMenu(menu.get());
    addTo->setTitle(QStringLiteral("添加到"));
    for (const auto& [id, name] : ids.Ids()) {
        addTo->AppendMenu(id, QString::fromStdString(name));
    }
    menu->addMenu(addTo);
    return menu;
}

void PlaylistPanel::Track(CSideBarMenu& menu) {
    const int id = menu.TrackPopupMenu(QCursor::pos());
    // The menu took the button's release.
    ResetButtons();
    if (id != 0) {
        OnCommand(id);
    }
}

void PlaylistPanel::ResetButtons() {
    if (CatCategory* category = model_.Find(model_.CategoryAtRow(model_.m_nClickedRow))) {
        category->addButtonState = 0;
        category->menuButtonState = 0;
    }
    list_.viewport()->update();
}

void PlaylistPanel::OnModeMenu() {
    Track(*ModeMenu(&list_, player_.Mode()));
}
void PlaylistPanel::OnAddMenu() {
    Track(*AddMenu(&list_));
}
void PlaylistPanel::OnListMenu() {
    Track(*ListMenu(&list_));
}
void PlaylistPanel::OnSongMenu() {
    Track(*SongMenu(&list_, ids_));
}

void PlaylistPanel::OnCommitName(bool byEnter) {
    if (list_.NameEdit() == nullptr) {
        return;
    }
    const std::string name = list_.NameEditText();
    if (list_.EditMode() == CCatListBox::NameEditNew) {
        // The stand-in list goes first so that a new list takes its row.
        list_.EndNameEdit();
        commands_.CommitNewList(name, byEnter);
    } else {
        commands_.CommitRename(list_.RenameList(), name, byEnter);
        list_.EndNameEdit();
    }
}

std::optional<SongSearch::Match> PlaylistPanel::NextSearchMatch(const std::string& query) {
    return search_.Next(model_, query, [this](const std::string& path) {
        return tags_ != nullptr ? tags_->Find(path) : nullptr;
    });
}

void PlaylistPanel::ShowSong(const SongSearch::Match& song) {
    if (model_.SetCategoryOpen(song.list, true) != kResultOk ||
        song.index >= model_.SongCount(song.list)) {
        return;
    }
    const int row = model_.Find(song.list)->headerRow + 1 + song.index;
    // Selected as by a click, so the play button plays it next.
    if (model_.GetItemState(song.list, song.index) == ItemNormal) {
        model_.MarkSelected(song.index, model_.GetItemText(song.list, song.index), song.list);
        model_.SetItemState(song.list, song.index, ItemSelected);
    }
    model_.m_nClickedRow = row;
    model_.m_nCurrentRow = row;
    list_.ScrollToRow(row);
}

bool PlaylistPanel::OnCommand(int id) {
    const int row = model_.m_nClickedRow;
    switch (id) {
        case ID_MODE_SINGLE_ONCE:
        case ID_MODE_SINGLE_LOOP:
        case ID_MODE_LIST_LOOP:
        case ID_MODE_RANDOM:
            player_.SetPlayMode(id - ID_MODE_SINGLE_ONCE);
            return true;
        case ID_ADD_NEW_LIST:
        case ID_LIST_NEW_LIST:
            list_.BeginNewName();
            return true;
        case ID_ADD_SONGS:
        case ID_LIST_ADD_SONGS:
            commands_.AddFiles(chooseFiles());
            return true;
        case ID_ADD_FOLDER:
            if (const auto folder = chooseFolder()) {
                commands_.AddFolder(*folder);
            }
            return true;
        case ID_LIST_CLEAR:
            commands_.ClearList(row);
            return true;
        case ID_LIST_DELETE:
            commands_.DeleteList(row);
            return true;
        case ID_LIST_RENAME:
            if (commands_.MayRename(row)) {
                list_.BeginRename(row);
            }
            return true;
        case ID_SONG_PLAY:
            player_.PlaySongAt(row);
            return true;
        case ID_SONG_REMOVE:
            player_.RemoveSongAt(row);
            return true;
        case ID_SONG_OPEN_FOLDER: {
            const PlaylistModel::RowContent content = model_.Row(row);
            if (content.list != nullptr && content.song >= 0) {
                openFolder(PlaylistModel::FolderOf(content.category->items[content.song].text));
            }
            return true;
        }
        default:
            if (!ids_.NameOf(id).empty()) {
                commands_.AddToList(id, row);
                return true;
            }
            return false;
    }
}

}  // namespace zavreo
