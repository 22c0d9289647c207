#include "Recipes.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include "Canvas.h"
#include "DialogUnits.h"
#include "ResourcePaths.h"

using Canvas::State;

namespace {

// Icon-font code points used by the skin.
namespace Glyph {
constexpr char16_t Play = 0xF04B, Pause = 0xF04C, Backward = 0xF048, Forward = 0xF051,
                   VolumeUp = 0xF028, VolumeOff = 0xF026, Close = 0xF00D, Minus = 0xF068,
                   Camera = 0xF030, Video = 0xF03D, Music = 0xF001, Magic = 0xF0D0, Cog = 0xF013,
                   Search = 0xF002, Plus = 0xF067, Bars = 0xF0C9, Lock = 0xF023, Unlock = 0xF09C,
                   Font = 0xF031, ChevronDown = 0xF078, ChevronRight = 0xF054, Random = 0xF074,
                   Repeat = 0xF01E, Retweet = 0xF079, ListIcon = 0xF03A, Folder = 0xF07C,
                   Check = 0xF00C, ArrowsH = 0xF07E, ArrowsV = 0xF07D, Exchange = 0xF0EC,
                   Picture = 0xF03E, Film = 0xF008, FastBack = 0xF04A, FastForward = 0xF04E,
                   Tint = 0xF043, Microphone = 0xF130, Smile = 0xF118, Sun = 0xF185,
                   TextUp = 0xF034, TextDown = 0xF035, Undo = 0xF0E2, Headphones = 0xF025,
                   Heart = 0xF004, Star = 0xF005, Gift = 0xF06B, Rocket = 0xF135, Bell = 0xF0F3,
                   Trash = 0xF1F8, Eraser = 0xF12D, Bolt = 0xF0E7, Comment = 0xF075,
                   ThumbsUp = 0xF164, Shield = 0xF132, Bullhorn = 0xF0A1, AlignJustify = 0xF039,
                   Minimize = 0xF2D1, Circle = 0xF111, Stop = 0xF04D, Kiss = 0xF19D, Hand = 0xF256,
                   Meh = 0xF11A, Laugh = 0xF118, Users = 0xF0C0;
}  // namespace Glyph

QChar G(char16_t code) {
    return QChar(code);
}
QString T(const char* utf8) {
    return QString::fromUtf8(utf8);
}

class Builder {
public:
    void Add(std::string path, std::function<QImage()> draw) {
        recipes_.push_back({std::move(path), std::move(draw)});
    }
    // "head" + normal_/over_/press_ + "tail", drawn as a plain button.
    void Triple(const std::string& head, const std::string& tail, int w, int h, char16_t glyph,
                const char* label = "", bool round = false) {
        const QString text = T(label);
        const State states[] = {State::Normal, State::Over, State::Press};
        const char* names[] = {"normal_", "over_", "press_"};
        for (int i = 0; i < 3; ++i) {
            const State state = states[i];
            Add(head + names[i] + tail,
                [=] { return Canvas::Button(w, h, state, G(glyph), text, round); });
        }
    }
    // A two-state tab: normal, over and the selected look in the press picture.
    void TabTriple(const std::string& normal, const std::string& over, const std::string& press,
                   int w, int h, const char* label, char16_t glyph = 0) {
        const QString text = T(label);
        const QChar icon = glyph ? G(glyph) : QChar();
        Add(normal, [=] { return Canvas::Tab(w, h, State::Normal, text, icon); });
        Add(over, [=] { return Canvas::Tab(w, h, State::Over, text, icon); });
        Add(press, [=] { return Canvas::Tab(w, h, State::Selected, text, icon); });
    }
    void Icon(const std::string& path, int w, int h, char16_t glyph, QColor colour) {
        Add(path, [=] { return Canvas::Icon(w, h, G(glyph), colour); });
    }
    std::vector<Recipe> Take() { return std::move(recipes_); }

private:
    std::vector<Recipe> recipes_;
};

QImage MainBackground() {
    QImage image(870, 620, QImage::Format_RGB888);
    image.fill(Canvas::kBackground);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient title(0, 0, 0, 148);
    title.setColorAt(0, QColor(58, 58, 70));
    title.setColorAt(1, QColor(40, 40, 49));
    p.fillRect(QRect(0, 0, 480, 148), title);
    p.fillRect(QRect(480, 0, 390, 58), title);
    p.fillRect(QRect(0, 550, 480, 70), QColor(36, 36, 44));
    p.setPen(QColor(24, 24, 30));
    p.drawLine(480, 0, 480, 620);
    p.drawLine(0, 148, 480, 148);
    p.drawLine(0, 550, 480, 550);
    QFont font(Canvas::CjkFamily());
    font.setPixelSize(18);
    font.setBold(true);
    p.setFont(font);
    p.setPen(Canvas::kText);
    p.drawText(QRect(14, 8, 300, 30), Qt::AlignLeft | Qt::AlignVCenter, T("Zavreo直播助手"));
    return image;
}

QImage PreviewPlaceholder(int w, int h, const QString& line) {
    QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient g(0, 0, 0, h);
    g.setColorAt(0, QColor(32, 32, 40));
    g.setColorAt(1, QColor(18, 18, 24));
    p.fillRect(image.rect(), g);
    QFont icon(Canvas::IconFamily());
    icon.setPixelSize(h / 5);
    p.setFont(icon);
    p.setPen(QColor(70, 70, 84));
    // Icon high and text low: the open-camera button sits in the middle of the preview.
    p.drawText(QRect(0, h / 10, w, h / 3), Qt::AlignCenter, QString(G(Glyph::Video)));
    QFont text(Canvas::CjkFamily());
    text.setPixelSize(std::max(14, h / 18));
    text.setBold(true);
    p.setFont(text);
    p.setPen(Canvas::kDimText);
    p.drawText(QRect(0, h * 2 / 3, w, h / 8), Qt::AlignCenter, line);
    return image;
}

// Thumb of the sliders: a rounded knob on a key colour (made transparent when loaded).
QImage Thumb(QColor fill, QColor ring) {
    QImage image(16, 30, QImage::Format_RGB888);
    image.fill(QColor(255, 0, 255));
    QPainter p(&image);
    // No antialiasing: edge pixels mixed with the key colour would stay as a pink fringe.
    p.setPen(QPen(ring, 2));
    p.setBrush(fill);
    // Every slider draws its thumb 2 px down (top margin 2): the knob sits 2 px higher than the
    // groove's rows so that on screen it is centred on them.
    p.drawEllipse(QRect(2, 6, 12, 12));
    return image;
}

// A slider channel: the groove across `ground`, which is what the slider covers.
QImage Track(QImage ground, QColor groove) {
    QImage image = ground.convertToFormat(QImage::Format_RGB888);
    const int w = image.width();
    QPainter p(&image);
    p.fillRect(QRect(0, 12, w, 4), groove);
    p.fillRect(QRect(0, 12, w, 1), groove.lighter(130));
    return image;
}

QImage ColorArrow() {
    QImage image(22, 24, QImage::Format_RGB888);
    image.fill(QColor(60, 60, 70));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(Canvas::kText);
    const QPointF points[] = {{6, 9}, {16, 9}, {11, 15}};
    p.drawPolygon(points, 3);
    return image;
}

// The six stacked frames of a switch sprite: rest/over/pressed, then the same selected.
QImage SixFrameSwitch(int w, int h) {
    QImage image = Canvas::Blank(w, h * 6);
    QPainter p(&image);
    const State states[] = {State::Normal, State::Over, State::Press};
    for (int selected = 0; selected < 2; ++selected) {
        for (int i = 0; i < 3; ++i) {
            QImage frame = Canvas::Button(w, h, selected ? State::Selected : states[i],
                                          G(Glyph::Microphone), selected ? T("消音") : T("原唱"));
            if (selected && i > 0) {
                QPainter f(&frame);
                f.fillRect(frame.rect(), QColor(255, 255, 255, i * 30));
            }
            p.drawImage(0, (selected * 3 + i) * h, frame);
        }
    }
    return image;
}

QImage SelectOverlay(int w, int h) {
    QImage image = Canvas::Blank(w, h);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Canvas::kAccent, 3));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(1.5, 1.5, w - 3, h - 3));
    p.setPen(Qt::NoPen);
    p.setBrush(Canvas::kAccent);
    p.drawEllipse(QRect(w - 22, 4, 18, 18));
    p.setPen(Qt::white);
    QFont icon(Canvas::IconFamily());
    icon.setPixelSize(11);
    p.setFont(icon);
    p.drawText(QRect(w - 22, 4, 18, 18), Qt::AlignCenter, QString(G(Glyph::Check)));
    return image;
}

QImage Switch(bool on) {
    QImage image = Canvas::Blank(50, 24);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(on ? Canvas::kAccent : Canvas::kHighlight);
    p.drawRoundedRect(QRectF(1, 3, 48, 18), 9, 9);
    p.setBrush(Qt::white);
    p.drawEllipse(QRectF(on ? 31 : 3, 5, 14, 14));
    QFont font(Canvas::CjkFamily());
    font.setPixelSize(10);
    font.setBold(true);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(QRect(on ? 5 : 19, 3, 26, 18), Qt::AlignCenter, on ? T("开") : T("关"));
    return image;
}

QImage TagPicture(State state) {
    QImage image = Canvas::Button(80, 26, state, QChar());
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    // The right quarter closes the tag.
    p.setPen(state == State::Normal ? Canvas::kDimText : Qt::white);
    QFont icon(Canvas::IconFamily());
    icon.setPixelSize(11);
    p.setFont(icon);
    p.drawText(QRect(60, 0, 20, 26), Qt::AlignCenter, QString(G(Glyph::Close)));
    p.setPen(QColor(255, 255, 255, 40));
    p.drawLine(60, 5, 60, 21);
    return image;
}

void AddMainWindow(Builder& b) {
    b.Add("images/background/background_03.bmp", MainBackground);
    b.Triple("images/background/guanbi_", "08.png", 28, 28, Glyph::Close);
    b.Triple("images/background/xiaohua_", "06.png", 28, 28, Glyph::Minus);
    b.Triple("images/play/button_", "18.png", 40, 40, Glyph::Play, "", true);
    b.Triple("images/play/button_", "31.png", 32, 32, Glyph::Backward, "", true);
    b.Triple("images/play/button_", "34.png", 32, 32, Glyph::Forward, "", true);
    b.Triple("images/play/volume_", "32.png", 24, 24, Glyph::VolumeUp);
    b.Triple("images/left/player/jingyin_", "31.png", 24, 24, Glyph::VolumeOff);
    b.Triple("images/images/player_", "14.png", 40, 40, Glyph::Play, "", true);
    b.Add("images/images/stop_normal_25.png",
          [] { return Canvas::Button(40, 40, State::Normal, G(Glyph::Pause), {}, true); });
    b.Add("images/images/stop_over_25.png",
          [] { return Canvas::Button(40, 40, State::Over, G(Glyph::Pause), {}, true); });
    b.Add("images/images/stop_pess_25.png",
          [] { return Canvas::Button(40, 40, State::Press, G(Glyph::Pause), {}, true); });
    // The lyrics switch takes its press picture as over and its over picture as selected.
    b.Add("images/play/player_lyric_normal_24.png",
          [] { return Canvas::Button(30, 24, State::Normal, QChar(), T("词")); });
    b.Add("images/play/player_lyric_over_24.png",
          [] { return Canvas::Button(30, 24, State::Selected, QChar(), T("词")); });
    b.Add("images/play/player_lyric_press_24.png",
          [] { return Canvas::Button(30, 24, State::Over, QChar(), T("词")); });
    const struct {
        const char* number;
        char16_t glyph;
        const char* label;
    } bottom[] = {{"159", Glyph::Camera, "开启摄像头"}, {"149", Glyph::Camera, "关闭摄像头"},
                  {"161", Glyph::Video, "录像"},        {"151", Glyph::Stop, "停止录像"},
                  {"162", Glyph::Picture, "拍照"},      {"160", Glyph::Headphones, "音效"}};
    // One label size for the whole row: the one at which "开启摄像头" fits beside its icon.
    constexpr int kBottomLabelSize = 13;
    for (const auto& button : bottom) {
        const std::string n = button.number;
        const QString label = T(button.label);
        const char16_t glyph = button.glyph;
        auto face = [=](State state) {
            return Canvas::Button(110, 56, state, G(glyph), label, false, kBottomLabelSize);
        };
        b.Add("images/left/wodezhibo/4icon_" + n + ".png", [=] { return face(State::Normal); });
        b.Add("images/left/wodezhibo/4icon_over_" + n + ".png", [=] { return face(State::Over); });
        b.Add("images/left/wodezhibo/4icon_press_" + n + ".png",
              [=] { return face(State::Press); });
    }
    b.Triple("images/left_opencamera_", "62.png", 170, 44, Glyph::Camera, "打开摄像头");
    b.TabTriple("images/left/wodezhibo/wodezhibo_normal_65.png",
                "images/left/wodezhibo/wodezhibo_over_65.png",
                "images/left/wodezhibo/wodezhibo_press_65.png", 240, 42, "我的直播", Glyph::Video);
    b.TabTriple("images/normal_29.png", "images/over_29.png", "images/press_29.png", 240, 42,
                "我的歌曲", Glyph::Music);
    b.TabTriple("images/right/display/normal_03.png", "images/right/display/over_03.png",
                "images/right/display/press_03.png", 130, 54, "视频", Glyph::Camera);
    b.TabTriple("images/right/Special/texiao_normal_08.png",
                "images/right/Special/texiao_over_08.png",
                "images/right/Special/texiao_press_08.png", 130, 54, "特效", Glyph::Magic);
    b.TabTriple("images/right/Music/gequ_normal_09.png", "images/right/Music/gequ_over_09.png",
                "images/right/Music/gequ_press_09.png", 130, 54, "音乐", Glyph::Music);
    b.Add("images/left_background_640X480_03.png",
          [] { return PreviewPlaceholder(480, 360, T("摄像头未开启")); });
    b.Add("images/left_background_480x360.png",
          [] { return PreviewPlaceholder(480, 360, T("Zavreo直播助手  正在启动…")); });
    b.Add("skin/vocal_remove.png", [] { return SixFrameSwitch(48, 24); });
}

// The pad's close button sits in a 33 x 41 slot at the top right corner: a small square at the
// slot's top, level with the title, instead of a tall box over the panel's edge.
constexpr int kPadCloseLeft = 5, kPadCloseTop = 1, kPadCloseSize = 22;

QImage SoundPadClose(State state) {
    QImage image = Canvas::Blank(33, 41);
    QPainter p(&image);
    p.drawImage(kPadCloseLeft, kPadCloseTop,
                Canvas::Button(kPadCloseSize, kPadCloseSize, state, G(Glyph::Close)));
    return image;
}

QImage SoundPadBackground() {
    QImage image = Canvas::Panel(254, 343);
    QPainter p(&image);
    p.setRenderHint(QPainter::TextAntialiasing);
    // Title and rule lowered to the close button (placed at y 15): the rule passes under it.
    const int closeTop = 15 + kPadCloseTop;
    QFont font(Canvas::CjkFamily());
    font.setPixelSize(16);
    font.setBold(true);
    p.setFont(font);
    p.setPen(Canvas::kText);
    p.drawText(QRect(12, closeTop, 180, kPadCloseSize), Qt::AlignLeft | Qt::AlignVCenter,
               T("音效"));
    p.setPen(Canvas::kHighlight);
    const int rule = closeTop + kPadCloseSize + 5;
    p.drawLine(8, rule, image.width() - 8, rule);
    return image;
}

// The dialog shown when a recording stops: it says where the file went; its buttons sit below.
QImage RecordingDialogBackground() {
    QImage image = Canvas::Panel(360, 300, T("录制视频"));
    QPainter p(&image);
    p.setRenderHint(QPainter::TextAntialiasing);
    QFont font(Canvas::CjkFamily());
    font.setPixelSize(15);
    p.setFont(font);
    p.setPen(Canvas::kText);
    p.drawText(QRect(20, 90, 320, 60), Qt::AlignCenter | Qt::TextWordWrap,
               T("录像已保存到视频文件夹"));
    return image;
}

void AddDialogs(Builder& b) {
    b.Add("images/xiaoxitishi_background_76.png",
          [] { return Canvas::Panel(273, 206, T("提示")); });
    b.Triple("images/paizhao/_button_", "144.png", 88, 26, Glyph::Folder, "打开目录");
    b.Triple("images/paizhao/_button_", "147.png", 88, 26, 0, "确定");
    b.Add("images/paizhao/paizhao_background_74.png",
          [] { return Canvas::Panel(360, 300, T("拍照")); });
    b.Add("images/paizhao/luzhishipin_background_74.png", RecordingDialogBackground);
    b.Add("images/yinxiao/yinxiao_background_82.png", SoundPadBackground);
    const struct {
        const char* number;
        char16_t glyph;
        const char* label;
    } pad[] = {{"86", Glyph::Laugh, "1笑声"},    {"89", Glyph::Users, "2欢呼"},
               {"92", Glyph::Bullhorn, "3起哄"}, {"123", Glyph::Hand, "4耳光"},
               {"124", Glyph::Smile, "5搞怪"},   {"125", Glyph::Meh, "6汗颜"},
               {"137", Glyph::Heart, "7亲嘴"},   {"138", Glyph::Music, "8前奏"},
               {"117", Glyph::Star, "9欢快"}};
    for (const auto& key : pad) {
        const std::string n = key.number;
        const QString label = T(key.label);
        const char16_t glyph = key.glyph;
        b.Add("images/yinxiao/yinxiaoguo_normal_" + n + ".png",
              [=] { return Canvas::Button(46, 51, State::Normal, G(glyph), label); });
        b.Add("images/yinxiao/yinxiaoguo_over_" + n + ".png",
              [=] { return Canvas::Button(46, 51, State::Over, G(glyph), label); });
        b.Add("images/yinixao/yinxiaoguo_press_" + n + ".png",
              [=] { return Canvas::Button(46, 51, State::Press, G(glyph), label); });
    }
    b.Add("images/yinxiao/lyriccontrol_close_normal_162.png",
          [] { return SoundPadClose(State::Normal); });
    b.Add("images/yinxiao/lyriccontrol_close_over_162.png",
          [] { return SoundPadClose(State::Over); });
    b.Add("images/yinixao/lyriccontrol_close_press_162.png",
          [] { return SoundPadClose(State::Press); });
}

void AddDisplayPanel(Builder& b) {
    b.Add("images/right/display/background_21.png", [] { return Canvas::Panel(390, 508); });
    b.Add("images/right/display/background_22.png", [] { return Canvas::Panel(390, 470); });
    b.Add("images/right/display/background_24.bmp", [] {
        QImage image(390, 470, QImage::Format_RGB888);
        image.fill(Canvas::kBackground);
        return image;
    });
    b.Triple("images/right/display/button_", "48.png", 80, 28, Glyph::Plus, "添加");
    b.Triple("images/right/display/button_", "50.png", 80, 28, Glyph::Minus, "删除");
    b.Triple("images/right/display/button_", "52.png", 80, 28, Glyph::Trash, "清空");
    b.Triple("images/right/display/button_", "54.png", 80, 28, Glyph::Play, "播放");
    b.Triple("images/right/display/tingzhi_", "54.png", 80, 28, Glyph::Stop, "停止");
    b.Triple("images/right/display/button_", "55.png", 80, 28, Glyph::Cog, "设置");
    b.TabTriple("images/right/display/normal_07.png", "images/right/display/over_07.png",
                "images/right/display/press_07.png", 120, 34, "摄像头", Glyph::Camera);
    b.TabTriple("images/right/display/normal_25.png", "images/right/display/over_25.png",
                "images/right/display/press_25.png", 120, 34, "图片", Glyph::Picture);
    b.Add("images/right_specialeffect_title_72.png",
          [] { return Canvas::Label(370, 30, T("镜像设置"), Canvas::kText, 14); });
    const struct {
        const char* path;
        char16_t glyph;
        const char* label;
    } mirrors[] = {{"images/right_mirror_normal_76.png", Glyph::Exchange, "镜像"},
                   {"images/right_fliphorizintal_normal_78.png", Glyph::ArrowsH, "水平翻转"},
                   {"images/right_flipvertical_normal_80.png", Glyph::ArrowsV, "垂直翻转"}};
    for (const auto& mirror : mirrors) {
        const QString label = T(mirror.label);
        const char16_t glyph = mirror.glyph;
        b.Add(mirror.path, [=] {
            return Canvas::Tile(85, 85, QColor(70, 70, 84), QColor(44, 44, 53), label, G(glyph));
        });
    }
    b.Add("images/right_background_03.png", [] { return Canvas::Panel(370, 300, {}, false); });
    b.Add("images/picture&video_select_73.png", [] { return SelectOverlay(85, 85); });
}

void AddEffectsPanel(Builder& b) {
    const std::string s = "images/right/Special/";
    b.Add(s + "background_quan.png", [] { return Canvas::Panel(390, 508, {}, false); });
    b.Add(s + "background_1.png", [] { return Canvas::Panel(300, 500); });
    b.Add(s + "background_21.png", [] { return Canvas::Panel(300, 500); });
    b.Add(s + "ad_130.png", [] {
        return Canvas::Tile(100, 40, Canvas::kAccent, QColor(140, 50, 120), T("更多特效"));
    });
    const struct {
        const char* number;
        const char* label;
        char16_t glyph;
    } tabs[] = {{"18", "字幕", Glyph::Font},
                {"61", "美颜", Glyph::Smile},
                {"70", "滤镜", Glyph::Tint},
                {"77", "挂件", Glyph::Gift}};
    for (const auto& tab : tabs) {
        const std::string n = tab.number;
        b.TabTriple(s + "specialeffect_table_normal_" + n + ".png",
                    s + "specialeffect_table_over_" + n + ".png",
                    s + "specialeffect_table_select_" + n + ".png", 80, 36, tab.label, tab.glyph);
    }
    b.Add(s + "specialeffect_meibai_shoushen.png",
          [] { return Canvas::Label(60, 24, T("瘦身"), Canvas::kText, 13); });
    b.Add(s + "specialeffect_meibai_meibai_82.png",
          [] { return Canvas::Label(60, 24, T("美白"), Canvas::kText, 13); });
    b.Add(s + "specialeffect_meibai_mopi_108.png",
          [] { return Canvas::Label(60, 24, T("磨皮"), Canvas::kText, 13); });
    b.Add(s + "specialeffect_notopensubtitles_49.png", [] { return Switch(false); });
    b.Add(s + "specialeffect_opensubtitles_49.png", [] { return Switch(true); });
    b.Triple(s + "huifumoren_", "88.png", 86, 28, Glyph::Undo, "恢复默认");
    const struct {
        const char* file;
        QColor top, bottom;
        char16_t glyph;
    } tiles[] = {
        {"meibai.jpg", QColor(250, 220, 220), QColor(200, 150, 170), Glyph::Smile},
        {"meibai.png", QColor(255, 235, 235), QColor(220, 170, 190), Glyph::Smile},
        {"tianmei.jpg", QColor(255, 170, 200), QColor(220, 90, 150), Glyph::Heart},
        {"zuotaiyang.jpg", QColor(255, 220, 120), QColor(120, 80, 40), Glyph::Sun},
        {"youtaiyang.jpg", QColor(120, 80, 40), QColor(255, 220, 120), Glyph::Sun},
        {"16_9.jpg", QColor(30, 30, 36), QColor(90, 90, 110), Glyph::Film},
        {"qiushouhu.png", QColor(120, 160, 255), QColor(60, 60, 160), Glyph::Shield},
        {"liwushuaqi.png", QColor(255, 150, 90), QColor(200, 60, 90), Glyph::Gift},
        {"qiuguanzhu.png", QColor(255, 120, 160), QColor(160, 40, 90), Glyph::ThumbsUp},
        {"shanguang.png", QColor(255, 240, 150), QColor(200, 150, 30), Glyph::Star},
        {"qiudaiwofei.png", QColor(120, 220, 255), QColor(40, 90, 170), Glyph::Rocket},
    };
    // The pages write each name below its tile, so the tiles carry none.
    for (const auto& tile : tiles) {
        const QColor top = tile.top, bottom = tile.bottom;
        const char16_t glyph = tile.glyph;
        b.Add(s + tile.file, [=] { return Canvas::Tile(85, 85, top, bottom, {}, G(glyph)); });
    }
    b.Add(s + "picture&video_select_73.png", [] { return SelectOverlay(85, 85); });
    b.Add(s + "specialeffect_lvjing_wodebiaoqian_normal_113.png",
          [] { return TagPicture(State::Normal); });
    b.Add(s + "specialeffect_lvjing_wodebiaoqian_over_113.png",
          [] { return TagPicture(State::Over); });
    b.Add(s + "specialeffect_lvjing_wodebiaoqian_press_113.png",
          [] { return TagPicture(State::Press); });
    b.Add(s + "mytexiao_82.png", [] { return Canvas::Tab(200, 26, State::Normal, T("我的特效")); });
    b.Add(s + "picture&mytexiao_82.png",
          [] { return Canvas::Tab(200, 26, State::Selected, T("我的特效")); });
}

void AddMusicAndLyrics(Builder& b) {
    const std::string w = "images/left/wodegequ/";
    b.Icon(w + "mysong_zhankai_101.png", 15, 13, Glyph::ChevronDown, Canvas::kText);
    b.Icon(w + "mysong_shouqi_127.png", 15, 13, Glyph::ChevronRight, Canvas::kText);
    b.Icon(w + "mysong_tianjia_normal_94.png", 15, 13, Glyph::Plus, Canvas::kDimText);
    b.Icon(w + "mysong_tianjia_over_94.png", 15, 13, Glyph::Plus, Qt::white);
    b.Icon(w + "mysong_tianjia_press_94.png", 15, 13, Glyph::Plus, Canvas::kAccent);
    b.Icon(w + "mysong_menue_normal_98.png", 15, 13, Glyph::Bars, Canvas::kDimText);
    b.Icon(w + "mysong_menue_over_98.png", 15, 13, Glyph::Bars, Qt::white);
    b.Icon(w + "mysong_menue_press_98.png", 15, 13, Glyph::Bars, Canvas::kAccent);
    b.Icon(w + "mysong_danqubofang_96.png", 15, 13, Glyph::Play, Canvas::kText);
    b.Icon(w + "mysong_danquxunhuan_96.png", 15, 13, Glyph::Repeat, Canvas::kText);
    b.Icon(w + "mysong_xunhuanbofang_96.png", 15, 13, Glyph::Retweet, Canvas::kText);
    b.Icon(w + "mysong_suijibofang_96.png", 15, 13, Glyph::Random, Canvas::kText);
    b.Icon(w + "mymusic_song_playing_110.png", 15, 14, Glyph::VolumeUp, Canvas::kAccent);
    b.Icon(w + "mymusic_song_press_72.png", 15, 14, Glyph::Music, Qt::white);
    b.Icon(w + "mymusic_song_normal_105.png", 15, 14, Glyph::Music, Canvas::kDimText);
    b.Add("images/right/Music/background_20.png", [] { return Canvas::Panel(390, 508); });
    b.Icon("images/right/Music/searchIcon.png", 53, 26, Glyph::Search, Canvas::kText);
    b.Triple("images/right/Music/benditianjia_", "57.png", 53, 26, Glyph::Plus, "添加");

    const std::string l = "images/lyric/";
    b.Add(l + "lyriccontrol_background_134.png", [] {
        QImage image = Canvas::Blank(695, 60);
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(Canvas::kHighlight, 1));
        p.setBrush(QColor(36, 36, 44, 235));
        p.drawRoundedRect(QRectF(0.5, 0.5, 694, 59), 8, 8);
        return image;
    });
    b.Icon(l + "lyriccontrol_logo_134.png", 32, 26, Glyph::Music, Canvas::kAccent);
    const struct {
        const char* stem;
        const char* number;
        char16_t glyph;
    } bar[] = {{"lastsong_", "136", Glyph::Backward},     {"play_", "138", Glyph::Play},
               {"nextsong_", "140", Glyph::Forward},      {"fontsizeup_", "143", Glyph::TextUp},
               {"fontsizedown_", "146", Glyph::TextDown}, {"kuaijin_", "153", Glyph::FastForward},
               {"kuaitui_", "155", Glyph::FastBack},      {"close_", "162", Glyph::Close}};
    for (const auto& button : bar) {
        b.Triple(l + "lyriccontrol_" + button.stem, std::string(button.number) + ".png", 32, 26,
                 button.glyph);
    }
    b.Icon(l + "lyriccontrol_fontcolor_148.png", 32, 26, Glyph::Tint, Canvas::kText);
    b.Add(l + "lyriccontrol_doubleline_89.png",
          [] { return Canvas::Button(32, 26, State::Normal, QChar(), T("双")); });
    b.Add(l + "lyriccontrol_singleline_89.png",
          [] { return Canvas::Button(32, 26, State::Normal, QChar(), T("单")); });
    b.Triple(l + "lyricsearch_", "105.png", 32, 26, Glyph::Search);
    b.Triple(l + "lock_", "105.png", 32, 26, Glyph::Lock);
    b.Triple(l + "unlock_", "105.png", 32, 26, Glyph::Unlock);
    b.Add(l + "searchlyric_background_138.png", [] { return Canvas::Panel(697, 527); });
    b.Add(l + "title.png", [] { return Canvas::Label(128, 53, T("搜索歌词"), Canvas::kText, 18); });
    b.Triple(l + "searchbutton_", "99.png", 53, 26, Glyph::Search, "搜索");
    b.Triple(l + "searchlyric_yes_", "150.png", 88, 26, Glyph::Check, "使用");
    b.Triple(l + "searchlyric_no_", "153.png", 88, 26, Glyph::Close, "取消");
    b.Icon(l + "lyricsearch_songicon_over_123.png", 13, 15, Glyph::Music, Canvas::kAccent);
}

void AddBitmapResources(Builder& b) {
    const QColor groove(70, 70, 82), active = Canvas::kAccent, bg = Canvas::kBackground;
    const QColor idle(90, 90, 98);
    auto track = [&](int id, int width, QColor colour) {
        b.Add(Resources::BitmapPath(id), [=] {
            QImage flat(width, 30, QImage::Format_RGB888);
            flat.fill(bg);
            return Track(flat, colour);
        });
    };
    // The main window's sliders lie on the title gradient; their channels (drawn opaque) carry the
    // part of it they cover, so no flat box stands out around the groove.
    auto mainTrack = [&](int id, int width, QColor colour, QRect slider) {
        b.Add(Resources::BitmapPath(id), [=] {
            return Track(MainBackground().copy(QRect(slider.topLeft(), QSize(width, 30))), colour);
        });
    };
    const QRect progress = DialogUnits::Rect(8, 44, 256, 17);
    const QRect volume = DialogUnits::Rect(138, 63, 40, 16);
    mainTrack(178, 450, groove, progress);
    mainTrack(174, 450, active, progress);
    mainTrack(181, 71, groove, volume);
    mainTrack(179, 71, active, volume);
    // Beauty tracks: the inactive look uses the channel for both parts.
    track(199, 160, idle);
    track(200, 160, active);
    track(201, 160, active);
    track(202, 160, idle);
    track(203, 160, active);
    track(204, 160, idle);
    b.Add(Resources::BitmapPath(175), [] { return Thumb(QColor(235, 235, 240), Canvas::kAccent); });
    b.Add(Resources::BitmapPath(177),
          [] { return Thumb(Qt::white, Canvas::kAccent.lighter(130)); });
    b.Add(Resources::BitmapPath(176),
          [] { return Thumb(QColor(120, 120, 128), QColor(90, 90, 98)); });
    b.Add(Resources::BitmapPath(183), ColorArrow);
    b.Add(Resources::BitmapPath(169), [] {
        QImage image(480, 360, QImage::Format_RGB888);
        image.fill(Canvas::kBackground);
        return image;
    });
}

}  // namespace

std::vector<Recipe> SkinRecipes() {
    Canvas::Init();
    Builder b;
    AddMainWindow(b);
    AddDialogs(b);
    AddDisplayPanel(b);
    AddEffectsPanel(b);
    AddMusicAndLyrics(b);
    AddBitmapResources(b);
    return b.Take();
}

Recipe PlaceholderRecipe() {
    return {Resources::kPlaceholder, [] {
                QImage image(640, 480, QImage::Format_RGB888);
                QPainter p(&image);
                p.setRenderHint(QPainter::Antialiasing);
                QLinearGradient g(0, 0, 0, 480);
                g.setColorAt(0, QColor(48, 48, 60));
                g.setColorAt(1, QColor(20, 20, 26));
                p.fillRect(image.rect(), g);
                p.setPen(QPen(QColor(96, 96, 107, 160), 2));
                p.setBrush(Qt::NoBrush);
                p.drawRoundedRect(QRectF(90, 60, 460, 300), 16, 16);
                QFont icon(Canvas::IconFamily());
                icon.setPixelSize(72);
                p.setFont(icon);
                p.setPen(QColor(233, 84, 100));
                p.drawText(QRect(0, 70, 640, 100), Qt::AlignCenter, QString(G(Glyph::Video)));
                QFont title(Canvas::CjkFamily());
                title.setPixelSize(46);
                title.setBold(true);
                p.setFont(title);
                p.setPen(Canvas::kText);
                p.drawText(QRect(0, 180, 640, 70), Qt::AlignCenter, T("Zavreo直播助手"));
                QFont note(Canvas::CjkFamily());
                note.setPixelSize(22);
                p.setFont(note);
                p.setPen(Canvas::kDimText);
                p.drawText(QRect(0, 270, 640, 40), Qt::AlignCenter,
                           T("未开启视频源，请打开摄像头或播放图片"));
                p.setPen(QPen(Canvas::kHighlight, 2));
                p.drawLine(170, 330, 470, 330);
                return image;
            }};
}
