#include "CLyricDlg.h"

#include <QCursor>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include "CLyricSearchDlg.h"
#include "CLyricsWindow.h"
#include "CSideBarMenu.h"
#include "DialogUnits.h"
#include "JsonLine.h"
#include "LyricBarSettings.h"

namespace {

constexpr char kFolder[] = "images/lyric/";

std::string Picture(const char* name) {
    return std::string(kFolder) + name;
}

// "stem_press_N.png", "stem_over_N.png", "stem_normal_N.png" -> rest, over, pressed.
void SetTriple(CPngButton& button, const std::string& stem, const std::string& number) {
    const std::string base = kFolder + stem;
    button.SetImages(base + "normal_" + number, base + "over_" + number, base + "press_" + number);
}

void SetSingle(CPngButton& button, const char* name) {
    const std::string path = Picture(name);
    button.SetImages(path, path, path);
}

}  // namespace

CLyricDlg::CLyricDlg(CLyricsWindow& lyrics, CLyricSearchDlg& search)
    : QDialog(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      lyrics_(lyrics),
      search_(search),
      background_(QString::fromUtf8(Picture("lyriccontrol_background_134.png"))) {
    setWindowTitle(QStringLiteral("歌词控制"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFixedSize(DialogUnits::X(397), DialogUnits::Y(32));
    const struct {
        CPngButton* button;
        int id;
        int x, y;
    } placed[] = {{&logo_, IDC_LOGO, 14, 5},
                  {&previous_, IDC_PREVIOUS, 50, 9},
                  {&play_, IDC_PLAY, 77, 6},
                  {&next_, IDC_NEXT, 105, 9},
                  {&fontUp_, IDC_FONT_UP, 144, 9},
                  {&fontDown_, IDC_FONT_DOWN, 171, 9},
                  {&color_, IDC_COLOR, 197, 9},
                  {&lines_, IDC_LINES, 227, 9},
                  {&later_, IDC_LATER, 263, 9},
                  {&earlier_, IDC_EARLIER, 289, 9},
                  {&searchButton_, IDC_SEARCH, 318, 9},
                  {&lock_, IDC_LOCK, 350, 9},
                  {&close_, IDC_CLOSE, 377, 9}};
    for (const auto& place : placed) {
        place.button->setParent(this);
        place.button->move(DialogUnits::X(place.x), DialogUnits::Y(place.y));
        connect(place.button, &CPngButton::clicked, this, [this, id = place.id] { OnCommand(id); });
    }
    SetSingle(logo_, "lyriccontrol_logo_134.png");
    SetTriple(previous_, "lyriccontrol_lastsong_", "136.png");
    SetPlaying(false);
    SetTriple(next_, "lyriccontrol_nextsong_", "140.png");
    SetTriple(fontUp_, "lyriccontrol_fontsizeup_", "143.png");
    SetTriple(fontDown_, "lyriccontrol_fontsizedown_", "146.png");
    SetSingle(color_, "lyriccontrol_fontcolor_148.png");
    SetSingle(lines_, "lyriccontrol_doubleline_89.png");
    SetTriple(later_, "lyriccontrol_kuaijin_", "153.png");
    SetTriple(earlier_, "lyriccontrol_kuaitui_", "155.png");
    SetTriple(searchButton_, "lyricsearch_", "105.png");
    SetTriple(lock_, "lock_", "105.png");
    SetTriple(close_, "lyriccontrol_close_", "162.png");
}

void CLyricDlg::SetPlaying(bool playing) {
    if (playing) {
        play_.SetImages("images/images/stop_normal_25.png", "images/images/stop_over_25.png",
                        "images/images/stop_pess_25.png");
    } else {
        SetTriple(play_, "lyriccontrol_play_", "138.png");
    }
}

void CLyricDlg::OnCommand(int id) {
    switch (id) {
        case IDC_PREVIOUS:
            emit PreviousSong();
            break;
        case IDC_PLAY:
            emit PlayPause();
            break;
        case IDC_NEXT:
            emit NextSong();
            break;
        case IDC_FONT_UP:
            ChangeFontSize(zavreo::BiggerLyricFont(lyrics_.FontSize()));
            break;
        case IDC_FONT_DOWN:
            ChangeFontSize(zavreo::SmallerLyricFont(lyrics_.FontSize()));
            break;
        case IDC_COLOR:
            ShowColorMenu();
            break;
        case IDC_LINES:
            ToggleLines();
            break;
        case IDC_LATER:
            emit ShiftLater();
            break;
        case IDC_EARLIER:
            emit ShiftEarlier();
            break;
        case IDC_SEARCH:
            if (search_.isVisible()) {
                search_.hide();
            } else {
                search_.ShowEmpty();
            }
            break;
        case IDC_LOCK:
            ToggleLock();
            break;
        case IDC_CLOSE:
            QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
            break;
        default:
            break;
    }
}

void CLyricDlg::ChangeFontSize(int size) {
    if (size != lyrics_.FontSize()) {
        lyrics_.SetFontSize(size);
        lyrics_.RenderLyrics();
    }
}

void CLyricDlg::ShowColorMenu() {
    CSideBarMenuZJ menu(this);
    for (const zavreo::LyricColorScheme& scheme : zavreo::LyricColorSchemes()) {
        menu.AppendMenu(scheme.command, scheme.name);
    }
    if (const int chosen = menu.TrackPopupMenu(QCursor::pos())) {
        ApplyColorScheme(chosen);
    }
}

void CLyricDlg::ApplyColorScheme(int command) {
    for (const zavreo::LyricColorScheme& scheme : zavreo::LyricColorSchemes()) {
        if (scheme.command == command) {
            lyrics_.SetColors(scheme.normal, scheme.normal, scheme.highlight, scheme.highlight, 1);
            lyrics_.SetOutline(Qt::black, 1.0);
            lyrics_.SetHighlightOutline(Qt::black, 1.0);
            lyrics_.RenderLyrics();
            m_nColorScheme = command - zavreo::kFirstSchemeCommand + 1;
        }
    }
}

void CLyricDlg::ToggleLines() {
    m_bDoubleLine = !m_bDoubleLine;
    SetSingle(lines_,
              m_bDoubleLine ? "lyriccontrol_singleline_89.png" : "lyriccontrol_doubleline_89.png");
    lines_.update();
    emit ResyncRequested();
}

void CLyricDlg::ToggleLock() {
    lyrics_.m_bLocked = !lyrics_.m_bLocked;
    if (lyrics_.m_bLocked) {
        SetTriple(lock_, "unlock_", "105.png");
    } else {
        SetTriple(lock_, "lock_", "105.png");
    }
}

void CLyricDlg::FillSettings(Json::Value& group) const {
    group["colorNum"] = m_nColorScheme;
    group["isDouble"] = m_bDoubleLine ? 1 : 0;
    group["FontSize"] = lyrics_.FontSize();
    group["isShow"] = lyrics_.isVisible() ? 1 : 0;
}

void CLyricDlg::ApplySettings(const Json::Value& group) {
    const int scheme = zavreo::JsonInt(group, "colorNum");
    if (scheme >= 1 && scheme <= 5) {
        ApplyColorScheme(zavreo::kFirstSchemeCommand + scheme - 1);
    }
    if ((zavreo::JsonInt(group, "isDouble") == 1) != m_bDoubleLine) {
        ToggleLines();
    }
    if (group.isObject() && group["FontSize"].isIntegral()) {
        lyrics_.SetFontSize(zavreo::StoredLyricFont(zavreo::JsonInt(group, "FontSize")));
    }
    if (zavreo::JsonInt(group, "isShow") == 1) {
        emit ShowRequested();
    }
    lyrics_.SetLyricText(kIdleLine, 0);
}

void CLyricDlg::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawPixmap(rect(), background_);
}

void CLyricDlg::mousePressEvent(QMouseEvent* event) {
    if (lyrics_.m_bLocked) {
        return;
    }
    lyrics_.m_bSelfMoving = false;
    // Held inside the lyrics window, the bar drags that window.
    drag_.Press(*window(), *event);
}

void CLyricDlg::mouseMoveEvent(QMouseEvent* event) {
    if (!lyrics_.m_bLocked) {
        drag_.Move(*window(), *event);
    }
}

void CLyricDlg::moveEvent(QMoveEvent*) {
    emit Moved(pos());
}

void CLyricDlg::resizeEvent(QResizeEvent*) {
    QPainterPath path;
    path.addRoundedRect(QRectF(rect()), 7.5, 7.5);
    setMask(QRegion(path.toFillPolygon().toPolygon()));
}
