#pragma once
// Dark owner-drawn pop-up menus. Items are appended with their command id; an empty text makes a
// separator; a checked item is marked with a dot left of its text. CSideBarMenuZJ adds colour
// swatches to the lyric-colour items 6601 to 6605. Their text is 14 pixels high and stands out
// from its background by a contrast of at least 4.5:1, so that it reads easily. User-interface
// thread only.

#include <QColor>
#include <QMenu>
#include <optional>

class CSideBarMenu : public QMenu {
    Q_OBJECT
public:
    explicit CSideBarMenu(QWidget* parent = nullptr);

    // Appends an item (a separator when `text` is empty) carrying the command id.
    QAction* AppendMenu(int id, const QString& text);
    QAction* AppendMenu(int id, const char* utf8Text) {
        return AppendMenu(id, QString::fromUtf8(utf8Text));
    }
    // Shows the menu at a screen point until the user chooses or dismisses; returns the chosen
    // command id, or 0.
    int TrackPopupMenu(const QPoint& globalPos);
    static int CommandId(const QAction* action);

    static QColor BackgroundColor() { return QColor(49, 50, 59); }
    static QColor HighlightColor() { return QColor(96, 96, 107); }
    static QColor TextColor() { return QColor(190, 191, 200); }
    static constexpr int kTextPixels = 14;
    static QColor HighlightTextColor() { return QColor(225, 225, 225); }
    // White minus the background.
    static QColor SeparatorColor() { return QColor(206, 205, 196); }

protected:
    CSideBarMenu(QWidget* parent, bool swatches);
};

class CSideBarMenuZJ : public CSideBarMenu {
    Q_OBJECT
public:
    explicit CSideBarMenuZJ(QWidget* parent = nullptr);

    // The swatch colour of a lyric-colour item, none for other ids.
    static std::optional<QColor> SwatchColor(int id);
};
