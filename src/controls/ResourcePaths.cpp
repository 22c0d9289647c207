#include "ResourcePaths.h"

#include <cstdio>
#include <utility>

namespace Resources {

namespace {

// "dir/stem_normal_N.png" with its "_over_" and "_press_" companions.
void AddTriple(std::vector<std::string>& paths, const std::string& head, const std::string& tail) {
    for (const char* state : {"normal_", "over_", "press_"}) {
        paths.push_back(head + state + tail);
    }
}

std::vector<std::string> BuildPaths() {
    std::vector<std::string> p;
    // Main window.
    p.push_back("images/background/background_03.bmp");
    AddTriple(p, "images/background/guanbi_", "08.png");
    AddTriple(p, "images/background/xiaohua_", "06.png");
    for (const char* n : {"18", "31", "34"}) {
        AddTriple(p, "images/play/button_", std::string(n) + ".png");
    }
    AddTriple(p, "images/play/volume_", "32.png");
    AddTriple(p, "images/play/player_lyric_", "24.png");
    AddTriple(p, "images/left/player/jingyin_", "31.png");
    AddTriple(p, "images/images/player_", "14.png");
    p.push_back("images/images/stop_normal_25.png");
    p.push_back("images/images/stop_over_25.png");
    p.push_back("images/images/stop_pess_25.png");
    for (const char* n : {"149", "151", "159", "160", "161", "162"}) {
        p.push_back(std::string("images/left/wodezhibo/4icon_") + n + ".png");
        p.push_back(std::string("images/left/wodezhibo/4icon_over_") + n + ".png");
        p.push_back(std::string("images/left/wodezhibo/4icon_press_") + n + ".png");
    }
    AddTriple(p, "images/left/wodezhibo/wodezhibo_", "65.png");
    AddTriple(p, "images/left_opencamera_", "62.png");
    AddTriple(p, "images/", "29.png");
    AddTriple(p, "images/right/Music/gequ_", "09.png");
    AddTriple(p, "images/right/Special/texiao_", "08.png");
    AddTriple(p, "images/right/display/", "03.png");
    p.push_back("images/left_background_640X480_03.png");
    p.push_back("images/left_background_480x360.png");
    p.push_back("skin/vocal_remove.png");
    // Message tip, photo and recording dialogs.
    p.push_back("images/xiaoxitishi_background_76.png");
    AddTriple(p, "images/paizhao/_button_", "144.png");
    AddTriple(p, "images/paizhao/_button_", "147.png");
    p.push_back("images/paizhao/paizhao_background_74.png");
    p.push_back("images/paizhao/luzhishipin_background_74.png");
    // Sound-effect pad; its pressed pictures live in the folder "yinixao".
    p.push_back("images/yinxiao/yinxiao_background_82.png");
    for (const char* n : {"86", "89", "92", "123", "124", "125", "137", "138", "117"}) {
        p.push_back(std::string("images/yinxiao/yinxiaoguo_normal_") + n + ".png");
        p.push_back(std::string("images/yinxiao/yinxiaoguo_over_") + n + ".png");
        p.push_back(std::string("images/yinixao/yinxiaoguo_press_") + n + ".png");
    }
    p.push_back("images/yinxiao/lyriccontrol_close_normal_162.png");
    p.push_back("images/yinxiao/lyriccontrol_close_over_162.png");
    p.push_back("images/yinixao/lyriccontrol_close_press_162.png");
    // Display panel and thumbnails.
    p.push_back("images/right/display/background_21.png");
    p.push_back("images/right/display/background_22.png");
    p.push_back("images/right/display/background_24.bmp");
    for (const char* n : {"48", "50", "52", "54", "55"}) {
        AddTriple(p, "images/right/display/button_", std::string(n) + ".png");
    }
    AddTriple(p, "images/right/display/tingzhi_", "54.png");
    AddTriple(p, "images/right/display/", "07.png");
    AddTriple(p, "images/right/display/", "25.png");
    p.push_back("images/right_specialeffect_title_72.png");
    p.push_back("images/right_mirror_normal_76.png");
    p.push_back("images/right_fliphorizintal_normal_78.png");
    p.push_back("images/right_flipvertical_normal_80.png");
    p.push_back("images/right_background_03.png");
    p.push_back("images/picture&video_select_73.png");
    // Effects panel and its pages.
    const std::string special = "images/right/Special/";
    p.push_back(special + "background_quan.png");
    p.push_back(special + "background_1.png");
    p.push_back(special + "background_21.png");
    p.push_back(special + "ad_130.png");
    for (const char* n : {"18", "61", "70", "77"}) {
        for (const char* state : {"normal_", "over_", "select_"}) {
            p.push_back(special + "specialeffect_table_" + state + n + ".png");
        }
    }
    p.push_back(special + "specialeffect_meibai_shoushen.png");
    p.push_back(special + "specialeffect_meibai_meibai_82.png");
    p.push_back(special + "specialeffect_meibai_mopi_108.png");
    p.push_back(special + "specialeffect_notopensubtitles_49.png");
    p.push_back(special + "specialeffect_opensubtitles_49.png");
    AddTriple(p, special + "huifumoren_", "88.png");
    for (const char* name : {"meibai.jpg", "meibai.png", "tianmei.jpg", "zuotaiyang.jpg",
                             "youtaiyang.jpg", "16_9.jpg", "qiushouhu.png", "liwushuaqi.png",
                             "qiuguanzhu.png", "shanguang.png", "qiudaiwofei.png"}) {
        p.push_back(special + name);
    }
    p.push_back(special + "picture&video_select_73.png");
    AddTriple(p, special + "specialeffect_lvjing_wodebiaoqian_", "113.png");
    p.push_back(special + "mytexiao_82.png");
    p.push_back(special + "picture&mytexiao_82.png");
    // Playlist rows and the music panel.
    const std::string songs = "images/left/wodegequ/";
    p.push_back(songs + "mysong_zhankai_101.png");
    p.push_back(songs + "mysong_shouqi_127.png");
    AddTriple(p, songs + "mysong_tianjia_", "94.png");
    AddTriple(p, songs + "mysong_menue_", "98.png");
    for (const char* mode : {"danqubofang", "danquxunhuan", "xunhuanbofang", "suijibofang"}) {
        p.push_back(songs + "mysong_" + mode + "_96.png");
    }
    p.push_back(songs + "mymusic_song_playing_110.png");
    p.push_back(songs + "mymusic_song_press_72.png");
    p.push_back(songs + "mymusic_song_normal_105.png");
    p.push_back("images/right/Music/background_20.png");
    p.push_back("images/right/Music/searchIcon.png");
    AddTriple(p, "images/right/Music/benditianjia_", "57.png");
    // Lyrics control bar and lyric search.
    const std::string lyric = "images/lyric/";
    p.push_back(lyric + "lyriccontrol_background_134.png");
    p.push_back(lyric + "lyriccontrol_logo_134.png");
    const std::pair<const char*, const char*> barButtons[] = {
        {"lastsong_", "136"},     {"play_", "138"},    {"nextsong_", "140"}, {"fontsizeup_", "143"},
        {"fontsizedown_", "146"}, {"kuaijin_", "153"}, {"kuaitui_", "155"},  {"close_", "162"}};
    for (const auto& [stem, number] : barButtons) {
        AddTriple(p, lyric + "lyriccontrol_" + stem, std::string(number) + ".png");
    }
    p.push_back(lyric + "lyriccontrol_fontcolor_148.png");
    p.push_back(lyric + "lyriccontrol_doubleline_89.png");
    p.push_back(lyric + "lyriccontrol_singleline_89.png");
    AddTriple(p, lyric + "lyricsearch_", "105.png");
    AddTriple(p, lyric + "lock_", "105.png");
    AddTriple(p, lyric + "unlock_", "105.png");
    p.push_back(lyric + "searchlyric_background_138.png");
    p.push_back(lyric + "title.png");
    AddTriple(p, lyric + "searchbutton_", "99.png");
    AddTriple(p, lyric + "searchlyric_yes_", "150.png");
    AddTriple(p, lyric + "searchlyric_no_", "153.png");
    p.push_back(lyric + "lyricsearch_songicon_over_123.png");

    for (int id : BitmapIds()) {
        p.push_back(BitmapPath(id));
    }
    for (const Decoration& decoration : Decorations()) {
        for (int i = 0; i < decoration.frames; ++i) {
            p.push_back(DecorationFrame(decoration, i));
        }
    }
    for (const std::string& sound : SoundEffects()) {
        p.push_back(sound);
    }
    p.push_back(kFontFile);
    p.push_back(kPlaceholder);
    return p;
}

}  // namespace

std::filesystem::path Folder(const std::filesystem::path& programFolder,
                             const std::filesystem::path& installed) {
    std::error_code error;
    for (const auto& folder : {programFolder, (programFolder / installed).lexically_normal()}) {
        if (std::filesystem::is_regular_file(folder / kPlaceholder, error)) {
            return folder;
        }
    }
    return programFolder;
}

const std::vector<std::string>& AllPaths() {
    static const std::vector<std::string> paths = BuildPaths();
    return paths;
}

std::string BitmapPath(int resourceId) {
    return "images/res/" + std::to_string(resourceId) + ".bmp";
}

const std::vector<int>& BitmapIds() {
    // 169 playlist background; 174..181 player sliders; 183 colour arrow; 199..204 beauty tracks.
    static const std::vector<int> ids = {169, 174, 175, 176, 177, 178, 179, 181,
                                         183, 199, 200, 201, 202, 203, 204};
    return ids;
}

QString LocalPath(std::string_view path) {
    QString local = QString::fromUtf8(path.data(), qsizetype(path.size()));
    local.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (local.startsWith(QLatin1String("./"))) {
        local.remove(0, 2);
    }
    return local;
}

const std::vector<std::string>& SoundEffects() {
    static const std::vector<std::string> sounds = {
        "yinxiao/1笑声.mp3", "yinxiao/2欢呼.mp3", "yinxiao/3起哄.mp3",
        "yinxiao/4耳光.mp3", "yinxiao/5搞怪.mp3", "yinxiao/6汗颜.mp3",
        "yinxiao/7亲嘴.mp3", "yinxiao/8前奏.mp3", "yinxiao/9欢快.mp3"};
    return sounds;
}

const std::vector<Decoration>& Decorations() {
    static const std::vector<Decoration> decorations = {{"求守护", 21, 4, 1},
                                                        {"礼物刷起", 27, 2, 0},
                                                        {"求关注", 19, 4, 1},
                                                        {"闪光", 53, 4, 1},
                                                        {"求带我飞", 7, 2, 0}};
    return decorations;
}

std::string DecorationFrame(const Decoration& decoration, int index) {
    char number[16];
    std::snprintf(number, sizeof number, "%0*d", decoration.digits, decoration.first + index);
    return std::string("guajian/") + decoration.name + "/" + decoration.name + number + ".png";
}

}  // namespace Resources
