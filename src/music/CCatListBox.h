#pragma once
// The songs view: draws the playlists of a PlaylistModel as 30-pixel rows (a header per list
// with its open/close arrow, name, add button, play-mode icon and menu button; a row per song of
// an open list), turns the mouse and the space key into model changes and requests, and holds the
// name edit box for new and renamed lists. Interface thread only.

#include <QAbstractScrollArea>
#include <QPixmap>
#include <map>
#include <string>

#include "PlaylistModel.h"

class CDLEdit;
namespace zavreo {
class SongTagCache;
}

class CCatListBox : public QAbstractScrollArea {
    Q_OBJECT
public:
    static constexpr int kRowHeight = 30;
    static constexpr int kNameEditId = 2000;
    // The stand-in list that makes room for the name edit box below twelve rows.
    static constexpr const char* kPlaceholderList = zavreo::kStandInListName;

    enum NameEditMode { NameEditNew, NameEditRename };
    // Where a point on a row falls.
    enum class Zone { None, Name, AddButton, ModeIcon, MenuButton, Other };

    explicit CCatListBox(zavreo::PlaylistModel& model, QWidget* parent = nullptr);

    // The row under a point of the viewport, -1 for none, and the zone of that point.
    int HitRow(const QPoint& point) const;
    Zone HitZone(int row, const QPoint& point) const;
    // A row's rectangle in the viewport.
    QRect RowRect(int row) const;
    int TopRow() const;
    void ScrollToEnd();
    // Scrolls as little as needed for `row` to be shown whole.
    void ScrollToRow(int row);
    // Songs are shown by their tags' names once these are read; file names until then.
    void SetSongTags(zavreo::SongTagCache* tags);

    // The name edit box: shown below the last row for a new list, over the list's row for a
    // rename.
    void BeginNewName();
    void BeginRename(int row);
    CDLEdit* NameEdit() const { return nameEdit_; }
    NameEditMode EditMode() const { return editMode_; }
    // The list being renamed, whichever row it has come to.
    const std::string& RenameList() const { return renameList_; }
    std::string NameEditText() const;
    // Removes the placeholder list and the edit box.
    void EndNameEdit();

signals:
    void ModeMenuRequested();
    void AddMenuRequested();
    void ListMenuRequested();
    void SongMenuRequested();
    // The edit box's name is to be committed: by the Enter key or by a click in the list.
    void CommitNameRequested(bool byEnter);
    void SongClicked(int row);
    void SongDoubleClicked(int row);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void ModelChanged();
    void DrawHeader(QPainter& painter, const QRect& rect, const std::string& name,
                    const zavreo::CatCategory& category);
    void DrawSong(QPainter& painter, const QRect& rect, const zavreo::CatItem& item);
    const QPixmap& Image(const char* path);
    void PlaceNameEdit(int viewRow);
    // Keeps the rename box over its list when rows above it come or go.
    void FollowRenamedList();

    zavreo::PlaylistModel& model_;
    zavreo::SongTagCache* tags_ = nullptr;
    CDLEdit* nameEdit_ = nullptr;
    NameEditMode editMode_ = NameEditNew;
    std::string renameList_;
    // Where the closed arrow is painted beside the edit box of a new list; none when negative.
    int newNameViewRow_ = -1;
    QPixmap background_;
    std::map<std::string, QPixmap> images_;
    QFont headerFont_;
    QFont songFont_;
};
