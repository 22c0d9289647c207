#pragma once
// The main window: owns every panel and dialog, the codec library, the settings and the tray
// icon; lays the panels out, routes the user's commands, runs the program's timers and the
// initialisation and exit sequences. Titled "Zavreo" so that a later start can find and raise it.
// Everything here runs on the interface thread.

#include <QDialog>
#include <QMenu>
#include <QPointer>
#include <QSystemTrayIcon>
#include <QTimer>
#include <filesystem>
#include <string>

#include "BodyDrag.h"
#include "CBitmapSlider.h"
#include "CPngButton.h"
#include "CameraController.h"
#include "CodecLibrary.h"
#include "LyricsController.h"
#include "MusicController.h"
#include "PlaylistCommands.h"
#include "PlaylistModel.h"
#include "PlaylistPanel.h"
#include "RecordingController.h"
#include "SettingsStore.h"
#include "SharedFrameWatch.h"
#include "UpdateCheck.h"

class CCatListBox;
class CDisplaySetDlg;
class CLuXiang;
class CMusicDlg;
class CPaiZhao;
class CSpecialDlg;
class CSplashDlg;
class CXiaoXiTiShi;
class CYinxiaoDlg;
class QLabel;
class SharedFrameView;
class SkinnedPanel;

class CMervalaDlg : public QDialog {
    Q_OBJECT
public:
    // Control and command ids that other windows and tests refer to.
    enum Id {
        IDC_PROGRESS = 1000,
        IDC_TIME = 1002,
        IDC_PLAY = 1003,
        IDC_PREVIOUS = 1004,
        IDC_NEXT = 1005,
        IDC_MUTE = 1006,
        IDC_VOLUME = 1007,
        IDC_LYRICS = 1008,
        IDC_VOCAL = 1009,
        IDC_TAB_BROADCAST = 1011,
        IDC_TAB_SONGS = 1012,
        IDC_CAMERA_ON = 1013,
        IDC_RECORD = 1014,
        IDC_PHOTO = 1015,
        IDC_TITLE = 1016,
        IDC_PAD = 1017,
        IDC_PREVIEW = 1018,
        IDC_CAMERA_OFF = 1020,
        IDC_PLAY_MODE = 1021,
        IDC_CLOSE = 1022,
        IDC_MINIMISE = 1023,
        IDC_OPEN_CAMERA = 1024,
        IDC_TAB_MUSIC = 1027,
        IDC_TAB_EFFECTS = 1028,
        IDC_TAB_DISPLAY = 1029,
        IDC_PLAYLIST = 1038,
        ID_TRAY_OPEN = 32777,
        ID_TRAY_EXIT = 32778,
    };
    enum TimerId { kProgressTimer = 1, kLyricTimer = 10020, kSlideshowTimer = 10021 };

    // `programFolder` holds libFlashX.so and the updater; resources are read relative to the
    // working directory.
    explicit CMervalaDlg(std::filesystem::path programFolder, QWidget* parent = nullptr);
    ~CMervalaDlg() override;

    // The initialisation sequence. False when the program is to end (the update was accepted or
    // is mandatory). A missing codec library ends the process here with exit code 0.
    bool OnInitDialog();

    // Commands.
    void OnCommand(int id);
    // The tray's "退出": saves everything, releases the codec library, stops the camera and the
    // music, removes the tray icon and closes the window. Files that could not be saved are named
    // in the tip, and the window closes once the user has read it (its OK).
    void OnExitCommand();
    // SIGTERM and SIGINT: the exit command, told on standard error instead of waiting for a user
    // who may not be there; a second one while the tip waits ends it at once.
    void OnQuitSignal();

    // Custom messages between the windows.
    void OnPlaylistModeMenu();
    void OnPlaylistAddMenu();
    void OnPlaylistListMenu();
    void OnPlaylistCommitName();
    void OnPlaylistSongMenu();
    void OnSliderMoved(int controlId, int position);
    void OnPlayerCommand(const QString& path, int action);
    void OnLyricWndMoved(int x, int y);
    void OnLyricResync();
    void OnLyricBarMoved(int x, int y);

    // The splash to dismiss at the end of the initialisation and before the update question.
    void SetSplash(CSplashDlg* splash) { splash_ = splash; }
    // Before the window has first shown, tips are gathered and shown together once it has, so
    // that they stand above it.
    void ShowTip(const QString& text);

    // What the window's tests drive besides its widgets (found as its children): the control of
    // an id, the tray menu, the codec library, the timers and the music the window wires up.
    CPngButton* Button(int id);
    QMenu& TrayMenu() { return trayMenu_; }
    const zavreo::CodecLibrary& Codec() const { return codec_; }
    QTimer& Timer(TimerId id);
    zavreo::MusicController& Music() { return *music_; }
    zavreo::PlaylistModel& Playlists() { return playlists_; }
    zavreo::ListMenuIds& MenuIds() { return listMenuIds_; }
    zavreo::PlaylistPanel& PlaylistMenus() { return *playlistPanel_; }

public slots:
    // Restores the window and brings it to the front (tray, a later start).
    void ShowAndRaise();

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    // Steps of the initialisation, in their order.
    bool RunUpdateCheck();
    void LoadCodecLibrary();
    void CreateTitleFont();
    void StartCodecLibrary();
    void CreateChildDialogs();
    void PlacePanels();
    void PlaceWindow();
    void SetButtonImages();
    void SetupSliders();
    void LoadPlaylists();
    void InitCameras();
    void LoadDecorations();
    void LoadPictureList();
    void CreateLyricsWindow();
    void LoadSettings();
    // Names in the tip, once, the user files that could not be read whole and the copies that
    // keep them (or that none could be made).
    void TellFilesKept();
    void AddTrayIcon();
    void DismissSplash();
    void ClipToRoundedRect();

    // Steps of the exit command that belong to other subsystems.
    void SavePlaylists();
    void SavePictureList();
    // After the saves: tells what could not be saved; false when the window is to wait for the
    // user's OK before closing.
    bool TellFilesNotSaved();
    void ShutdownCamera();
    void StopMusic();

    void OnCameraButtonsChanged(bool cameraRunning);
    void ShowBroadcastView();
    void ShowSongsView();
    void SelectRightTab(int id);
    void ToggleLyrics();
    void ToggleSoundPad();
    void HideToTray();
    void OpenCamera();
    void CloseCamera();
    void ToggleRecording();
    void TakePhoto();
    void OnLyricTimer();
    void OnSlideshowTimer();

    std::filesystem::path programFolder_;
    zavreo::CodecLibrary codec_;
    zavreo::SettingsStore settings_;
    zavreo::CameraController camera_;
    zavreo::RecordingController recorder_;
    zavreo::PlaylistModel playlists_;
    zavreo::ListMenuIds listMenuIds_;

    std::map<int, CPngButton*> buttons_;
    CPngButton play_, previous_, next_, mute_, lyrics_, vocal_;
    CPngButton tabBroadcast_, tabSongs_;
    CPngButton cameraOn_, cameraOff_, record_, photo_, padButton_, playMode_, openCamera_;
    CPngButton tabDisplay_, tabEffects_, tabMusic_;
    CPngButton close_, minimise_;
    CBitmapSlider progress_;
    CBitmapSlider volume_;
    QLabel* time_;
    QLabel* title_;
    SharedFrameView* preview_;
    CCatListBox* songList_;
    CDisplaySetDlg* displayPanel_ = nullptr;
    CPaiZhao* photoDialog_ = nullptr;
    CSpecialDlg* effectsPanel_ = nullptr;
    CMusicDlg* musicPanel_ = nullptr;
    std::unique_ptr<CYinxiaoDlg> pad_;
    CXiaoXiTiShi* tip_ = nullptr;
    CLuXiang* luXiang_ = nullptr;
    CSplashDlg* splash_ = nullptr;

    QTimer progressTimer_;
    QTimer lyricTimer_;
    QTimer slideshowTimer_;
    std::unique_ptr<zavreo::MusicController> music_;
    std::unique_ptr<zavreo::PlaylistCommands> playlistCommands_;
    zavreo::PlaylistPanel* playlistPanel_ = nullptr;
    std::unique_ptr<zavreo::LyricsController> lyricsController_;

    QMenu trayMenu_;
    QSystemTrayIcon tray_;
    BodyDrag drag_;
    SharedFrameWatch frameWatch_;
    QStringList startTips_;

    bool m_bCameraOpen = false;
    bool m_bSlideshow = false;
    bool m_bPadVisible = false;
    bool m_bSongsView = false;
    bool m_bExiting = false;
    bool m_bShown = false;
    bool m_bQuitSignalled = false;
};
