#include "CMervalaDlg.h"

#include <QAbstractButton>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QPainterPath>
#include <QProcess>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "AtomicFile.h"
#include "CCatListBox.h"
#include "CDisplaySetDlg.h"
#include "CElidedLabel.h"
#include "CLuXiang.h"
#include "CLyricDlg.h"
#include "CMusicDlg.h"
#include "CPaiZhao.h"
#include "CSampleGrabberCB.h"
#include "CSpecialDlg.h"
#include "CSplashDlg.h"
#include "CXiaoXiTiShi.h"
#include "CYinxiaoDlg.h"
#include "DialogUnits.h"
#include "MusicListFile.h"
#include "Photo.h"
#include "PictureListFile.h"
#include "ProgramIcon.h"
#include "SharedFrameView.h"
#include "SkinFont.h"
#include "SkinPalette.h"
#include "SkinnedPanel.h"
#include "TipTexts.h"
#include "UserFolders.h"

namespace {

constexpr char kMainBackground[] = "images/background/background_03.bmp";
constexpr char kPreviewBackground[] = "images/left_background_640X480_03.png";
constexpr QRect kPreviewArea(0, 190, 480, 360);
// Frame 1030: where the three right panels lie.
constexpr QRect kPanelFrame(480, 112, 390, 508);
// The songs list takes the preview area and the button row below it.
constexpr QRect kSongListArea(0, 190, 480, 430);
constexpr char kAppName[] = "Zavreo直播助手";
// How long the exit waits for a recording to finish its file.
constexpr std::chrono::seconds kRecordingEndWait(5);

// "dir/stem_normal_N.png" -> its "_over_" and "_press_" companions.
std::string Companion(const std::string& normal, const char* state) {
    std::string path = normal;
    path.replace(path.find("_normal_"), 8, std::string("_") + state + "_");
    return path;
}

void SetByRule(CPngButton& button, const std::string& normal, int mode = 1) {
    button.SetImages(normal, Companion(normal, "over"), Companion(normal, "press"), mode);
}

// The bottom-row buttons: "4icon_N.png", "4icon_over_N.png", "4icon_press_N.png".
void SetBottomIcon(CPngButton& button, const std::string& number) {
    const std::string folder = "images/left/wodezhibo/4icon_";
    button.SetImages(folder + number + ".png", folder + "over_" + number + ".png",
                     folder + "press_" + number + ".png");
}

// Qt's own button texts are English; the program speaks Chinese.
void NameButtons(QMessageBox& box) {
    if (QAbstractButton* ok = box.button(QMessageBox::Ok)) {
        ok->setText(QStringLiteral("确定"));
    }
    if (QAbstractButton* cancel = box.button(QMessageBox::Cancel)) {
        cancel->setText(QStringLiteral("取消"));
    }
}

}  // namespace

CMervalaDlg::CMervalaDlg(std::filesystem::path programFolder, QWidget* parent)
    : QDialog(parent, Qt::Window | Qt::FramelessWindowHint),
      programFolder_(std::move(programFolder)),
      settings_(zavreo::ConfigFolder() / "config.lst"),
      camera_(zavreo::CSampleGrabberCB::Instance()),
      // The microphone's name is looked up on the record thread at each start.
      recorder_([this] {
          camera_.CameraGraph().FindAudioDeviceName();
          return camera_.CameraGraph().AudioDeviceName();
      }),
      playlists_([this] { OnPlayerCommand(QString(), zavreo::PlayerStop); }),
      progress_(this, IDC_PROGRESS),
      volume_(this, IDC_VOLUME),
      time_(new QLabel(QStringLiteral("00:00 / 00:00"), this)),
      title_(new CElidedLabel(QStringLiteral("最酷的自媒体视频直播平台"), this)),
      preview_(new SharedFrameView(this)),
      songList_(new CCatListBox(playlists_, this)),
      frameWatch_(zavreo::CSampleGrabberCB::Instance().Output()) {
    setWindowTitle(QStringLiteral("Zavreo"));
    setWindowIcon(ProgramIcon::Icon());
    buttons_ = {{IDC_PLAY, &play_},
                {IDC_PREVIOUS, &previous_},
                {IDC_NEXT, &next_},
                {IDC_MUTE, &mute_},
                {IDC_LYRICS, &lyrics_},
                {IDC_VOCAL, &vocal_},
                {IDC_TAB_BROADCAST, &tabBroadcast_},
                {IDC_TAB_SONGS, &tabSongs_},
                {IDC_CAMERA_ON, &cameraOn_},
                {IDC_CAMERA_OFF, &cameraOff_},
                {IDC_RECORD, &record_},
                {IDC_PHOTO, &photo_},
                {IDC_PAD, &padButton_},
                {IDC_PLAY_MODE, &playMode_},
                {IDC_OPEN_CAMERA, &openCamera_},
                {IDC_TAB_DISPLAY, &tabDisplay_},
                {IDC_TAB_EFFECTS, &tabEffects_},
                {IDC_TAB_MUSIC, &tabMusic_},
                {IDC_CLOSE, &close_},
                {IDC_MINIMISE, &minimise_}};
    for (auto& [id, button] : buttons_) {
        button->setParent(this);
        connect(button, &CPngButton::clicked, this, [this, id = id] { OnCommand(id); });
    }
    // Where the window template puts them; the fixed pixel placements follow in PlaceWindow.
    time_->setGeometry(316, 123, 110, 20);
    title_->setGeometry(14, 48, 450, 22);
    for (QLabel* label : {time_, title_}) {
        label->setAutoFillBackground(true);
        QPalette palette = label->palette();
        palette.setColor(QPalette::WindowText, QColor(142, 143, 157));
        palette.setColor(QPalette::Window, QColor(44, 43, 53));
        label->setPalette(palette);
    }
    progress_.setGeometry(DialogUnits::Rect(8, 44, 256, 17));
    volume_.setGeometry(DialogUnits::Rect(138, 63, 40, 16));
    // Centred on one line that keeps the round play button clear of the tabs below.
    previous_.move(20, 112);
    play_.move(60, 108);
    next_.move(108, 112);
    mute_.move(214, 121);
    lyrics_.move(430, 121);
    vocal_.move(380, 121);
    vocal_.hide();
    cameraOn_.move(10, 557);
    cameraOff_.move(10, 557);
    record_.move(128, 557);
    photo_.move(246, 557);
    padButton_.move(364, 557);
    playMode_.move(364, 557);
    playMode_.hide();
    openCamera_.move(155, 440);
    tabMusic_.move(740, 58);
    minimise_.move(800, 12);
    close_.move(834, 12);
    songList_->setGeometry(kSongListArea);
    songList_->hide();
    preview_->hide();
    cameraOff_.hide();

    preview_->SetSource(&camera_.Preview());
    connect(&camera_, &zavreo::CameraController::Message, this, &CMervalaDlg::ShowTip);
    connect(&frameWatch_, &SharedFrameWatch::Tip, this, &CMervalaDlg::ShowTip);
    connect(&camera_, &zavreo::CameraController::CameraButtonsChanged, this,
            &CMervalaDlg::OnCameraButtonsChanged);

    connect(&progress_, &CBitmapSlider::SliderMoved, this, &CMervalaDlg::OnSliderMoved);
    connect(&volume_, &CBitmapSlider::SliderMoved, this, &CMervalaDlg::OnSliderMoved);

    music_ = std::make_unique<zavreo::MusicController>(
        playlists_, zavreo::PlayerControls{&play_, &mute_, &progress_, &volume_, time_, title_},
        progressTimer_, lyricTimer_);
    playlistCommands_ = std::make_unique<zavreo::PlaylistCommands>(
        playlists_, listMenuIds_, zavreo::MusicListPath(),
        [this](const char* text) { ShowTip(QString::fromUtf8(text)); });
    playlistPanel_ = new zavreo::PlaylistPanel(*songList_, playlists_, listMenuIds_,
                                               *playlistCommands_, *music_, this);
    connect(&lyricTimer_, &QTimer::timeout, this, &CMervalaDlg::OnLyricTimer);
    connect(&slideshowTimer_, &QTimer::timeout, this, &CMervalaDlg::OnSlideshowTimer);

    // In the skin's colours, not the desktop's light default beside the dark window.
    trayMenu_.setStyleSheet(
        QStringLiteral("QMenu { background: %1; color: %2; border: 1px solid %3; }"
                       "QMenu::item { padding: 5px 22px; }"
                       "QMenu::item:selected { background: %3; color: white; }")
            .arg(Skin::Background().name(), Skin::Text().name(), Skin::Highlight().name()));
    trayMenu_.addAction(QStringLiteral("打开主界面"), this, [this] { OnCommand(ID_TRAY_OPEN); });
    trayMenu_.addAction(QStringLiteral("退出"), this, [this] { OnCommand(ID_TRAY_EXIT); });
    tray_.setIcon(windowIcon());
    tray_.setToolTip(QString::fromUtf8(kAppName));
    tray_.setContextMenu(&trayMenu_);
    connect(&tray_, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                // A double click starts with a click; both show the window.
                if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick) {
                    OnCommand(ID_TRAY_OPEN);
                } else if (reason == QSystemTrayIcon::Context) {
                    activateWindow();
                }
            });
}

CMervalaDlg::~CMervalaDlg() = default;

bool CMervalaDlg::OnInitDialog() {
    if (!RunUpdateCheck()) {
        return false;
    }
    LoadCodecLibrary();
    CreateTitleFont();
    StartCodecLibrary();
    CreateChildDialogs();
    PlacePanels();
    PlaceWindow();
    SetButtonImages();
    SetupSliders();
    LoadPlaylists();
    music_->SetPlayMode(zavreo::ModeListLoop);
    InitCameras();
    LoadDecorations();
    LoadPictureList();
    CreateLyricsWindow();
    LoadSettings();
    TellFilesKept();
    AddTrayIcon();
    DismissSplash();
    ClipToRoundedRect();
    return true;
}

bool CMervalaDlg::RunUpdateCheck() {
    const std::filesystem::path file = zavreo::ConfigFolder() / zavreo::kUpdateFileName;
    const std::string url =
        zavreo::UpdateUrl(zavreo::UpdateHost(), static_cast<int32_t>(std::time(nullptr)));
    // The splash keeps painting while the download blocks a worker thread.
    RunOffInterfaceThread([&] { zavreo::DownloadToFile(url, file); });

    zavreo::UpdatePrompts prompts;
    prompts.closeSplash = [this] { DismissSplash(); };
    // The window is not up yet: a box centred on its unplaced frame would sit in a corner of the
    // screen, so the boxes stand on their own and centre on the screen.
    prompts.askUpgrade = [] {
        QMessageBox question(QMessageBox::Warning, QString::fromUtf8(zavreo::kUpgradeCaption),
                             QString::fromUtf8(zavreo::kUpgradeQuestion),
                             QMessageBox::Ok | QMessageBox::Cancel);
        NameButtons(question);
        return question.exec() == QMessageBox::Ok;
    };
    prompts.tellMustUpgrade = [] {
        QMessageBox notice(QMessageBox::NoIcon, QString::fromUtf8(kAppName),
                           QString::fromUtf8(zavreo::kMustUpgradeText), QMessageBox::Ok);
        NameButtons(notice);
        notice.exec();
    };
    prompts.startUpdater = [this] {
        QProcess::startDetached(
            QString::fromStdString((programFolder_ / zavreo::kUpdaterProgram).string()), {},
            QString::fromStdString(programFolder_.string()));
    };
    return zavreo::DecideUpdate(file, prompts) == zavreo::UpdateOutcome::kGoOn;
}

void CMervalaDlg::LoadCodecLibrary() {
    if (!codec_.Load(programFolder_ / zavreo::kCodecLibraryName)) {
        std::fputs(zavreo::kCodecLoadFailedText, stdout);
        std::fflush(stdout);
        std::exit(0);
    }
}

void CMervalaDlg::CreateTitleFont() {
    const QFont font = SkinFont::Make(14, 600);
    time_->setFont(font);
    title_->setFont(font);
}

void CMervalaDlg::StartCodecLibrary() {
    // The start callback comes back with the recording controller.
    codec_.Startup(&recorder_);
    recorder_.SetEntries({codec_.CreateCodecN, codec_.ExecN, codec_.CloseCodecN});
    connect(&recorder_, &zavreo::RecordingController::ButtonStateChanged, this,
            [this](bool recording) {
                record_.setDown(false);
                record_.unsetCursor();
                SetBottomIcon(record_, recording ? "151" : "161");
                record_.update();
            });
}

void CMervalaDlg::CreateChildDialogs() {
    displayPanel_ =
        new CDisplaySetDlg(camera_, zavreo::CSampleGrabberCB::Instance(), slideshowTimer_,
                           zavreo::ConfigFolder() / zavreo::kPictureListFileName, this);
    connect(displayPanel_, &CDisplaySetDlg::Tip, this, &CMervalaDlg::ShowTip);
    CDisplayPic& pictures = displayPanel_->PicturePanel();
    connect(&pictures, &CDisplayPic::VideoViewRequested, this, &CMervalaDlg::ShowBroadcastView);
    connect(&pictures, &CDisplayPic::SlideshowChanged, this, [this](bool showing) {
        m_bSlideshow = showing;
        OnCameraButtonsChanged(m_bCameraOpen);
    });
    photoDialog_ = new CPaiZhao(this);
    photoDialog_->SetFolder(zavreo::PicFolder());
    musicPanel_ = new CMusicDlg(this);
    connect(musicPanel_, &CMusicDlg::SearchNotFound, this, &CMervalaDlg::ShowTip);
    connect(musicPanel_, &CMusicDlg::AddLocalSongs, this, [this] {
        playlistCommands_->SetAddToDefault(true);
        OnCommand(IDC_TAB_SONGS);
        playlistPanel_->OnCommand(zavreo::ID_ADD_SONGS);
    });
    effectsPanel_ = new CSpecialDlg(this, zavreo::CSampleGrabberCB::Instance());
    effectsPanel_->AttachSettings(settings_);
    pad_ = std::make_unique<CYinxiaoDlg>();
    luXiang_ = new CLuXiang(this, [] { return zavreo::VideoFolder(); });
    const auto folderNotOpened = [this](const QString& folder) {
        ShowTip(QString::fromUtf8(TipText::kFolderNotOpened) + '\n' + folder);
    };
    connect(photoDialog_, &CPaiZhao::FolderNotOpened, this, folderNotOpened);
    connect(luXiang_, &CLuXiang::FolderNotOpened, this, folderNotOpened);
    connect(&recorder_, &zavreo::RecordingController::StopClicked, luXiang_,
            &CLuXiang::ToggleVisible);
    tip_ = new CXiaoXiTiShi(this);
}

void CMervalaDlg::PlacePanels() {
    for (QWidget* panel : {static_cast<QWidget*>(displayPanel_), static_cast<QWidget*>(musicPanel_),
                           static_cast<QWidget*>(effectsPanel_)}) {
        panel->setGeometry(kPanelFrame);
        panel->hide();
    }
    displayPanel_->show();
}

void CMervalaDlg::PlaceWindow() {
    setGeometry(0, 0, 870, 620);
    setFixedSize(870, 620);
    preview_->setGeometry(kPreviewArea);
    tabBroadcast_.setGeometry(0, 148, 240, 42);
    tabSongs_.setGeometry(240, 148, 240, 42);
    tabDisplay_.setGeometry(480, 58, 130, 54);
    tabEffects_.setGeometry(610, 58, 130, 54);
}

void CMervalaDlg::SetButtonImages() {
    SetByRule(close_, "images/background/guanbi_normal_08.png");
    SetByRule(minimise_, "images/background/xiaohua_normal_06.png");
    SetByRule(play_, "images/play/button_normal_18.png");
    SetByRule(next_, "images/play/button_normal_34.png");
    SetByRule(previous_, "images/play/button_normal_31.png");
    SetByRule(mute_, "images/play/volume_normal_32.png");
    // The lyrics switch shows its press picture on hover and its over picture when selected.
    lyrics_.SetImages("images/play/player_lyric_normal_24.png",
                      "images/play/player_lyric_press_24.png",
                      "images/play/player_lyric_over_24.png", 4);
    vocal_.SetSprite("skin/vocal_remove.png", 6);
    SetBottomIcon(cameraOn_, "159");
    SetBottomIcon(cameraOff_, "149");
    SetBottomIcon(record_, "161");
    SetBottomIcon(playMode_, "151");
    SetBottomIcon(photo_, "162");
    SetBottomIcon(padButton_, "160");
    SetByRule(openCamera_, "images/left_opencamera_normal_62.png");
    SetByRule(tabBroadcast_, "images/left/wodezhibo/wodezhibo_normal_65.png", 4);
    tabSongs_.SetImages("images/normal_29.png", "images/over_29.png", "images/press_29.png", 4);
    SetByRule(tabMusic_, "images/right/Music/gequ_normal_09.png", 4);
    SetByRule(tabEffects_, "images/right/Special/texiao_normal_08.png", 4);
    tabDisplay_.SetImages("images/right/display/normal_03.png", "images/right/display/over_03.png",
                          "images/right/display/press_03.png", 4);
    tabBroadcast_.SetSelected(true);
    tabDisplay_.SetSelected(true);
    tabMusic_.SetSelected(false);
    tabEffects_.SetSelected(false);
}

void CMervalaDlg::SetupSliders() {
    progress_.SetBitmapChannel(178, 174);
    progress_.SetBitmapThumb(175, 177, 176);
    progress_.SetMargin(0, 2, 0, 0);
    progress_.SetRange(0, 100);
    progress_.SetPos(0);
    volume_.SetBitmapChannel(181, 179);
    volume_.SetBitmapThumb(175, 177, 176);
    volume_.SetMargin(0, 2, 0, 2);
    volume_.SetRange(0, 1000);
    volume_.SetPos(music_->Volume());
}

void CMervalaDlg::LoadPlaylists() {
    zavreo::LoadMusicListFile(zavreo::MusicListPath(), playlists_, listMenuIds_);
    songList_->viewport()->update();
}

void CMervalaDlg::InitCameras() {
    camera_.InitCameras();
    frameWatch_.Start();
}

void CMervalaDlg::LoadDecorations() {
    effectsPanel_->LoadDecorations();
}

void CMervalaDlg::LoadPictureList() {
    displayPanel_->PicturePanel().LoadList();
}

void CMervalaDlg::CreateLyricsWindow() {
    lyricsController_ = std::make_unique<zavreo::LyricsController>(lyricTimer_);
    lyricsController_->Create();
    settings_.Attach(zavreo::SettingsGroup::kLyric, &lyricsController_->Bar());
    connect(lyricsController_.get(), &zavreo::LyricsController::ShownChanged, this,
            [this](bool shown) { lyrics_.SetSelected(shown); });
    // The player drives the lyrics: a new song looks up its lyrics, a seek re-synchronises them.
    // SongOpened carries a std::string, so it is taken directly on this thread.
    connect(
        music_.get(), &zavreo::MusicController::SongOpened, lyricsController_.get(),
        [this](const std::string& path) { lyricsController_->SongStarted(path); },
        Qt::DirectConnection);
    // The lines move only while a song plays: a pause or stop holds them, also against a
    // download that answers later.
    connect(music_.get(), &zavreo::MusicController::PlayingChanged, lyricsController_.get(),
            [this](bool playing) {
                lyricsController_->SetPlaying(playing);
                if (playing) {
                    lyricsController_->Resumed();
                } else if (music_->PlayStateValue() == zavreo::PlayPaused) {
                    lyricsController_->Paused();
                } else {
                    lyricsController_->Stopped();
                }
            });
    connect(music_.get(), &zavreo::MusicController::Seeked, lyricsController_.get(),
            [this] { lyricsController_->Seeked(); });
    zavreo::LyricsPlayerHooks player;
    player.positionMs = [this]() -> std::optional<int> {
        if (!music_->Player().IsOpen()) {
            return std::nullopt;
        }
        return static_cast<int>(music_->PositionMs());
    };
    player.previous = [this] { OnCommand(IDC_PREVIOUS); };
    player.playPause = [this] { OnCommand(IDC_PLAY); };
    player.next = [this] { OnCommand(IDC_NEXT); };
    lyricsController_->SetPlayer(std::move(player));
}

void CMervalaDlg::LoadSettings() {
    settings_.Load();
}

void CMervalaDlg::TellFilesKept() {
    QString kept;
    QString notKept;
    for (const zavreo::KeptFile& file : zavreo::KeptFiles()) {
        if (file.reason != zavreo::KeepReason::kUnreadable) {
            continue;
        }
        const std::filesystem::path& named = file.copy.empty() ? file.file : file.copy;
        (file.copy.empty() ? notKept : kept) +=
            QStringLiteral("\n") + QString::fromStdString(named.string());
    }
    if (!kept.isEmpty()) {
        ShowTip(QString::fromUtf8(TipText::kFilesKeptUnreadable) + kept);
    }
    if (!notKept.isEmpty()) {
        ShowTip(QString::fromUtf8(TipText::kFilesNotKept) + notKept);
    }
}

void CMervalaDlg::AddTrayIcon() {
    tray_.show();
}

void CMervalaDlg::DismissSplash() {
    if (splash_ != nullptr) {
        splash_->Dismiss();
    }
}

void CMervalaDlg::ClipToRoundedRect() {
    QPainterPath path;
    path.addRoundedRect(QRectF(0, 0, width(), height()), 4.5, 4.5);
    setMask(QRegion(path.toFillPolygon().toPolygon()));
}

void CMervalaDlg::SavePlaylists() {
    // A name being typed is dropped with its stand-in row.
    if (songList_->NameEdit() != nullptr) {
        songList_->EndNameEdit();
    }
    playlistCommands_->Save();
}
void CMervalaDlg::SavePictureList() {
    displayPanel_->PicturePanel().SaveList();
}
void CMervalaDlg::ShutdownCamera() {
    camera_.Shutdown();
    // The last camera picture must not stay readable in /dev/shm once the program has ended.
    zavreo::CSampleGrabberCB::Instance().Output().Remove();
}
void CMervalaDlg::StopMusic() {
    music_->StopForExit();
}

bool CMervalaDlg::TellFilesNotSaved() {
    const std::vector<std::filesystem::path> unsaved = zavreo::UnsavedFiles();
    if (unsaved.empty()) {
        return true;
    }
    QString text = QString::fromUtf8(TipText::kFilesNotSaved);
    for (const std::filesystem::path& file : unsaved) {
        text += QStringLiteral("\n") + QString::fromStdString(file.string());
    }
    std::fprintf(stderr, "%s\n", text.trimmed().toUtf8().constData());
    if (m_bQuitSignalled) {
        return true;
    }
    ShowTip(text);
    connect(tip_, &CXiaoXiTiShi::Dismissed, this, &QWidget::close, Qt::QueuedConnection);
    return false;
}

void CMervalaDlg::OnQuitSignal() {
    if (m_bExiting) {
        close();
        return;
    }
    m_bQuitSignalled = true;
    OnExitCommand();
}

void CMervalaDlg::OnExitCommand() {
    // A second quit signal while the window closes must not save twice.
    if (m_bExiting) {
        return;
    }
    m_bExiting = true;
    // Only what this sequence fails to save is told.
    zavreo::ForgetUnsavedFiles();
    SavePlaylists();
    SavePictureList();
    settings_.Save();
    // A recording still running or starting is closed and waited for; the library stays mapped
    // when it does not return in time.
    if (recorder_.Shutdown(kRecordingEndWait)) {
        codec_.Unload();
    }
    // Also ends the virtual camera program when this run started it.
    ShutdownCamera();
    StopMusic();
    tray_.hide();
    if (TellFilesNotSaved()) {
        QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
    }
}

void CMervalaDlg::OnCommand(int id) {
    switch (id) {
        case IDC_LYRICS:
            ToggleLyrics();
            break;
        case IDC_VOCAL:
            vocal_.SetSelected(!vocal_.IsSelected());
            break;
        case IDC_TAB_BROADCAST:
            ShowBroadcastView();
            break;
        case IDC_TAB_SONGS:
            ShowSongsView();
            break;
        case IDC_CAMERA_ON:
        case IDC_OPEN_CAMERA:
            OpenCamera();
            break;
        case IDC_CAMERA_OFF:
            CloseCamera();
            break;
        case IDC_RECORD:
            ToggleRecording();
            break;
        case IDC_PHOTO:
            TakePhoto();
            break;
        case IDC_PAD:
            ToggleSoundPad();
            break;
        case IDC_PLAY_MODE:
            OnPlaylistModeMenu();
            break;
        case IDC_PLAY:
            music_->TogglePlay();
            break;
        case IDC_PREVIOUS:
            music_->PreviousButton();
            break;
        case IDC_NEXT:
            music_->NextButton();
            break;
        case IDC_MUTE:
            music_->ToggleMute();
            break;
        case IDC_CLOSE:
            HideToTray();
            break;
        case IDC_MINIMISE:
            QMetaObject::invokeMethod(this, &QWidget::showMinimized, Qt::QueuedConnection);
            break;
        case IDC_TAB_MUSIC:
        case IDC_TAB_EFFECTS:
        case IDC_TAB_DISPLAY:
            SelectRightTab(id);
            break;
        case ID_TRAY_OPEN:
            // Also when it is shown but covered by other windows.
            ShowAndRaise();
            break;
        case ID_TRAY_EXIT:
            OnExitCommand();
            break;
        default:
            // The songs view's menu commands.
            playlistPanel_->OnCommand(id);
            break;
    }
}

void CMervalaDlg::ShowBroadcastView() {
    m_bSongsView = false;
    const bool graphsClosed = camera_.CameraGraph().State() != zavreo::GraphRunning &&
                              camera_.PreviewGraph().State() != zavreo::GraphRunning;
    preview_->setVisible(m_bCameraOpen || m_bSlideshow);
    cameraOn_.setVisible(!m_bCameraOpen);
    cameraOff_.setVisible(m_bCameraOpen);
    // The slideshow owns the preview area even while a picture it could not read holds the
    // preview graph closed.
    openCamera_.setVisible(!m_bCameraOpen && !m_bSlideshow && graphsClosed);
    for (CPngButton* button : {&record_, &photo_, &padButton_}) {
        button->show();
    }
    songList_->hide();
    tabBroadcast_.SetSelected(true);
    tabSongs_.SetSelected(false);
    update(kPreviewArea);
}

void CMervalaDlg::ShowSongsView() {
    m_bSongsView = true;
    preview_->hide();
    for (CPngButton* button :
         {&cameraOn_, &cameraOff_, &record_, &photo_, &padButton_, &openCamera_}) {
        button->hide();
    }
    songList_->show();
    songList_->raise();
    tabSongs_.SetSelected(true);
    tabBroadcast_.SetSelected(false);
}

void CMervalaDlg::SelectRightTab(int id) {
    tabMusic_.SetSelected(id == IDC_TAB_MUSIC);
    tabEffects_.SetSelected(id == IDC_TAB_EFFECTS);
    tabDisplay_.SetSelected(id == IDC_TAB_DISPLAY);
    musicPanel_->setVisible(id == IDC_TAB_MUSIC);
    effectsPanel_->setVisible(id == IDC_TAB_EFFECTS);
    displayPanel_->setVisible(id == IDC_TAB_DISPLAY);
    openCamera_.update();
}

void CMervalaDlg::ToggleLyrics() {
    if (lyricsController_ != nullptr) {
        lyricsController_->SetShown(!lyrics_.IsSelected());
    }
}

void CMervalaDlg::ToggleSoundPad() {
    if (pad_->isVisible()) {
        pad_->hide();
    } else {
        // Shown above everything without taking the focus from the window in use.
        pad_->setAttribute(Qt::WA_ShowWithoutActivating);
        pad_->show();
        pad_->raise();
    }
    m_bPadVisible = pad_->isVisible();
    openCamera_.update();
}

void CMervalaDlg::OpenCamera() {
    camera_.OpenCamera();
}
void CMervalaDlg::CloseCamera() {
    camera_.CloseCamera();
}

void CMervalaDlg::OnCameraButtonsChanged(bool cameraRunning) {
    m_bCameraOpen = cameraRunning;
    if (!m_bSongsView) {
        ShowBroadcastView();
    }
    update(kPreviewArea);
}

void CMervalaDlg::ToggleRecording() {
    const bool idle = !recorder_.Recording() && !recorder_.Busy();
    recorder_.ToggleRecording();
    // A start takes a second or more before the first picture is recorded: until then the
    // button stays pressed under a busy cursor.
    if (idle && recorder_.Busy()) {
        record_.setDown(true);
        record_.setCursor(Qt::BusyCursor);
    }
    record_.update();
}

void CMervalaDlg::TakePhoto() {
    std::filesystem::path photo;
    const zavreo::PhotoOutcome outcome = zavreo::TakePhoto(
        camera_.CameraGraph(), zavreo::CSampleGrabberCB::Instance(), zavreo::PicFolder(), &photo);
    if (outcome == zavreo::PhotoOutcome::kCameraClosed) {
        ShowTip(QString::fromUtf8(TipText::kPhotoNeedsCamera));
        return;
    }
    photoDialog_->SetPhoto(photo);
    photoDialog_->Toggle();
}

void CMervalaDlg::ShowTip(const QString& text) {
    if (!m_bShown) {
        if (!startTips_.contains(text)) {
            startTips_ << text;
        }
        return;
    }
    tip_->ShowTip(text);
}

void CMervalaDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (m_bShown) {
        return;
    }
    m_bShown = true;
    // Queued: the tip is mapped after the window, so it lies above it also without a window
    // manager.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (!startTips_.isEmpty()) {
                tip_->ShowTip(startTips_.join(QStringLiteral("\n")));
                startTips_.clear();
            }
        },
        Qt::QueuedConnection);
}

void CMervalaDlg::OnPlaylistModeMenu() {
    playlistPanel_->OnModeMenu();
}
void CMervalaDlg::OnPlaylistAddMenu() {
    playlistPanel_->OnAddMenu();
}
void CMervalaDlg::OnPlaylistListMenu() {
    playlistPanel_->OnListMenu();
}
void CMervalaDlg::OnPlaylistCommitName() {
    playlistPanel_->OnCommitName(false);
}
void CMervalaDlg::OnPlaylistSongMenu() {
    playlistPanel_->OnSongMenu();
}

void CMervalaDlg::OnSliderMoved(int controlId, int position) {
    if (controlId == IDC_VOLUME) {
        music_->SetVolume(position);
    } else if (controlId == IDC_PROGRESS) {
        music_->Seek(position);
    }
}

// A null path keeps the song the player holds.
void CMervalaDlg::OnPlayerCommand(const QString& path, int action) {
    music_->PlayerCommand(
        path.isNull() ? std::nullopt : std::optional<std::string>(path.toStdString()), action);
}
void CMervalaDlg::OnSlideshowTimer() {
    displayPanel_->PicturePanel().ShowNextPicture();
}
void CMervalaDlg::OnLyricWndMoved(int x, int y) {
    lyricsController_->OnLyricWndMoved({x, y});
}
void CMervalaDlg::OnLyricResync() {
    lyricsController_->OnLyricResync();
}
void CMervalaDlg::OnLyricBarMoved(int x, int y) {
    lyricsController_->OnLyricBarMoved({x, y});
}
void CMervalaDlg::OnLyricTimer() {
    if (lyricsController_ != nullptr) {
        lyricsController_->LyricTick();
    }
}

CPngButton* CMervalaDlg::Button(int id) {
    const auto found = buttons_.find(id);
    return found == buttons_.end() ? nullptr : found->second;
}

QTimer& CMervalaDlg::Timer(TimerId id) {
    switch (id) {
        case kProgressTimer:
            return progressTimer_;
        case kLyricTimer:
            return lyricTimer_;
        case kSlideshowTimer:
            break;
    }
    return slideshowTimer_;
}

void CMervalaDlg::ShowAndRaise() {
    showNormal();
    raise();
    activateWindow();
}

void CMervalaDlg::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawPixmap(rect(), QPixmap(QString::fromUtf8(kMainBackground)));
    if (!m_bCameraOpen) {
        painter.drawPixmap(kPreviewArea, QPixmap(QString::fromUtf8(kPreviewBackground)));
    }
}

void CMervalaDlg::HideToTray() {
    // Without a tray host a hidden window could never be brought back, nor "退出" be chosen:
    // closing then is the way to end the program, and it saves like "退出".
    if (QSystemTrayIcon::isSystemTrayAvailable()) {
        hide();
    } else {
        OnExitCommand();
    }
}

void CMervalaDlg::keyPressEvent(QKeyEvent* event) {
    // Enter and Escape would end the dialog; the window ends only through the tray or the system.
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Escape:
            event->accept();
            return;
        default:
            QDialog::keyPressEvent(event);
    }
}

void CMervalaDlg::closeEvent(QCloseEvent* event) {
    // Alt+F4, the window manager's close or a session ending: the program ends, so it first runs
    // "退出" (which closes the window again once everything is saved).
    if (!m_bExiting) {
        event->ignore();
        OnExitCommand();
        return;
    }
    event->accept();
    done(QDialog::Rejected);
}

void CMervalaDlg::mousePressEvent(QMouseEvent* event) {
    drag_.Press(*this, *event);
    QDialog::mousePressEvent(event);
}

void CMervalaDlg::mouseMoveEvent(QMouseEvent* event) {
    drag_.Move(*this, *event);
    QDialog::mouseMoveEvent(event);
}

void CMervalaDlg::mouseReleaseEvent(QMouseEvent* event) {
    drag_.Release();
    QDialog::mouseReleaseEvent(event);
}
