#pragma once
// The lyrics control bar: a small skinned bar above the desktop lyrics with the music buttons
// (previous, play/pause, next) and the lyric ones (font size, colour scheme, one or two lines,
// one second later/earlier, search, lock, close). Keeps the "m_Lyric" settings group. Moves with
// the lyrics window. Interface thread only.

#include <json/value.h>
#include <QDialog>
#include <QPixmap>

#include "BodyDrag.h"
#include "CPngButton.h"
#include "SettingsStore.h"

class CLyricsWindow;
class CLyricSearchDlg;

class CLyricDlg : public QDialog, public zavreo::ISettingsGroup {
    Q_OBJECT
public:
    enum Id {
        IDC_LOGO = 1111,
        IDC_PREVIOUS = 1115,
        IDC_PLAY = 1113,
        IDC_NEXT = 1005,
        IDC_FONT_UP = 1006,
        IDC_FONT_DOWN = 1007,
        IDC_COLOR = 1008,
        IDC_LINES = 1009,
        IDC_LATER = 1010,
        IDC_EARLIER = 1011,
        IDC_SEARCH = 1012,
        IDC_LOCK = 1013,
        IDC_CLOSE = 1014,
    };
    static constexpr const char* kIdleLine = "Zavreo直播，带给你不一样的精彩";

    CLyricDlg(CLyricsWindow& lyrics, CLyricSearchDlg& search);

    void OnCommand(int id);
    // 6601..6605.
    void ApplyColorScheme(int command);
    // The play button's pictures while a song plays, else the idle ones.
    void SetPlaying(bool playing);

    bool m_bDoubleLine = false;
    int m_nColorScheme = 3;

    void FillSettings(Json::Value& group) const override;
    void ApplySettings(const Json::Value& group) override;

signals:
    // To the main window: its previous, play/pause and next commands.
    void PreviousSong();
    void PlayPause();
    void NextSong();
    void ResyncRequested();  // WM_LYRIC_RESYNC
    void ShiftLater();
    void ShiftEarlier();
    void Moved(QPoint topLeft);  // WM_LYRICBAR_MOVED
    // The saved "isShow": the main window shows the lyrics and marks its button.
    void ShowRequested();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void ShowColorMenu();
    void ToggleLines();
    void ToggleLock();
    void ChangeFontSize(int size);

    CLyricsWindow& lyrics_;
    CLyricSearchDlg& search_;
    QPixmap background_;
    BodyDrag drag_;
    CPngButton logo_, previous_, play_, next_, fontUp_, fontDown_, color_, lines_, later_, earlier_,
        searchButton_, lock_, close_;
};
