#include <gtest/gtest.h>

#include <QFile>
#include <QFontDatabase>
#include <QImage>
#include <QImageReader>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>

#include "ProgramIcon.h"
#include "ResourcePaths.h"

namespace {

QString InBin(const std::string& path) {
    return QStringLiteral(ZAVREO_BIN_DIR "/") + QString::fromStdString(path);
}

// MPEG audio: an ID3 tag or a frame sync at the start.
bool LooksLikeMp3(const QByteArray& data) {
    if (data.startsWith("ID3")) {
        return true;
    }
    return data.size() > 2 && uchar(data[0]) == 0xFF && (uchar(data[1]) & 0xE0) == 0xE0;
}

TEST(ResourceFiles, EveryNamedResourceExistsAndDecodes) {
    int checked = 0;
    for (const std::string& path : Resources::AllPaths()) {
        SCOPED_TRACE(path);
        const QString file = InBin(path);
        ASSERT_TRUE(QFile::exists(file));
        if (path.ends_with(".mp3")) {
            QFile sound(file);
            ASSERT_TRUE(sound.open(QIODevice::ReadOnly));
            const QByteArray data = sound.readAll();
            EXPECT_GT(data.size(), 2000);
            EXPECT_TRUE(LooksLikeMp3(data));
        } else if (path.ends_with(".TTF")) {
            EXPECT_GE(QFontDatabase::addApplicationFont(file), 0);
        } else {
            QImageReader reader(file);
            const QImage image = reader.read();
            EXPECT_FALSE(image.isNull()) << reader.errorString().toStdString();
            EXPECT_GT(image.width(), 0);
        }
        ++checked;
    }
    EXPECT_GT(checked, 400);
}

TEST(ResourceFiles, PicturesHaveTheSizesAndFormatsTheWindowsRelyOn) {
    auto size = [](const std::string& path) { return QImage(InBin(path)).size(); };
    EXPECT_EQ(size(Resources::BitmapPath(178)), QSize(450, 30));
    EXPECT_EQ(size(Resources::BitmapPath(174)), QSize(450, 30));
    EXPECT_EQ(size(Resources::BitmapPath(181)), QSize(71, 30));
    EXPECT_EQ(size(Resources::BitmapPath(179)), QSize(71, 30));
    for (int thumb : {175, 176, 177}) {
        EXPECT_EQ(size(Resources::BitmapPath(thumb)), QSize(16, 30));
    }
    EXPECT_EQ(size(Resources::BitmapPath(183)), QSize(22, 24));
    EXPECT_EQ(size("images/left/wodezhibo/wodezhibo_normal_65.png"), QSize(240, 42));
    EXPECT_EQ(size("images/right/display/normal_03.png"), QSize(130, 54));
    EXPECT_EQ(size("images/right/Special/meibai.jpg"), QSize(85, 85));
    EXPECT_EQ(size("images/left/wodegequ/mysong_tianjia_normal_94.png"), QSize(15, 13));
    EXPECT_EQ(size("images/left_background_480x360.png"), QSize(480, 360));

    const QImage placeholder(InBin(Resources::kPlaceholder));
    EXPECT_EQ(placeholder.size(), QSize(640, 480));
    EXPECT_FALSE(placeholder.hasAlphaChannel());
    // 24-bit: the PNG header says 8 bits per sample, colour type 2 (RGB without alpha).
    QFile file(InBin(Resources::kPlaceholder));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray header = file.read(26);
    ASSERT_EQ(header.size(), 26);
    EXPECT_EQ(header.mid(12, 4), QByteArray("IHDR"));
    EXPECT_EQ(int(header[24]), 8);
    EXPECT_EQ(int(header[25]), 2);
}

// Mean row of the pixels in column x that stand out brighter than the colour at (x, 0), or differ
// in alpha: the ground may be a faint gradient with a dark line (the main window's title area).
double MeanMarkedRow(const QImage& image, int x) {
    const QColor ground = image.pixelColor(x, 0);
    auto marked = [&](const QColor& c) {
        return c.red() - ground.red() > 8 || c.green() - ground.green() > 8 ||
               c.blue() - ground.blue() > 8 || c.alpha() != ground.alpha();
    };
    double sum = 0;
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        if (marked(image.pixelColor(x, y))) {
            sum += y;
            ++count;
        }
    }
    return count ? sum / count : -1;
}

TEST(ResourceFiles, SliderKnobsSitOnTheGrooveAtTheSlidersTopMargin) {
    constexpr int kTopMargin = 2;  // every slider of the program
    for (int channel : {178, 174, 181, 179, 199, 200}) {
        const double groove = MeanMarkedRow(QImage(InBin(Resources::BitmapPath(channel))), 5);
        for (int thumb : {175, 176, 177}) {
            SCOPED_TRACE(std::to_string(channel) + " " + std::to_string(thumb));
            const double knob = MeanMarkedRow(QImage(InBin(Resources::BitmapPath(thumb))), 8);
            EXPECT_NEAR(knob + kTopMargin, groove, 1.0);
        }
    }
}

TEST(ResourceFiles, DecorationFramesHaveRealAlphaAndMove) {
    for (const Resources::Decoration& decoration : Resources::Decorations()) {
        SCOPED_TRACE(decoration.name);
        const QImage first(InBin(Resources::DecorationFrame(decoration, 0)));
        const QImage middle(InBin(Resources::DecorationFrame(decoration, decoration.frames / 2)));
        ASSERT_TRUE(first.hasAlphaChannel());
        EXPECT_EQ(qAlpha(first.pixel(320, 240)) < 255 || qAlpha(first.pixel(5, 5)) < 255, true);
        EXPECT_NE(first, middle);
    }
    // Names and numbering the overlay definitions spell out.
    const auto& all = Resources::Decorations();
    EXPECT_EQ(Resources::DecorationFrame(all[0], 0), "guajian/求守护/求守护0001.png");
    EXPECT_EQ(Resources::DecorationFrame(all[3], 52), "guajian/闪光/闪光0053.png");
    EXPECT_EQ(Resources::DecorationFrame(all[1], 26), "guajian/礼物刷起/礼物刷起26.png");
    EXPECT_EQ(Resources::DecorationFrame(all[4], 0), "guajian/求带我飞/求带我飞00.png");
}

TEST(ResourceFiles, EffectTilesLeaveTheirNamesToTheLabelsBelowThem) {
    for (const char* tile : {"meibai.jpg", "meibai.png", "tianmei.jpg", "zuotaiyang.jpg",
                             "youtaiyang.jpg", "16_9.jpg", "qiushouhu.png", "liwushuaqi.png",
                             "qiuguanzhu.png", "shanguang.png", "qiudaiwofei.png"}) {
        SCOPED_TRACE(tile);
        const QImage image(InBin(std::string("images/right/Special/") + tile));
        ASSERT_EQ(image.size(), QSize(85, 85));
        // White lettering would sit in the lower quarter, below the glyph.
        int white = 0;
        for (int y = 63; y < 85; ++y) {
            for (int x = 0; x < 85; ++x) {
                const QRgb p = image.pixel(x, y);
                white += qRed(p) > 245 && qGreen(p) > 245 && qBlue(p) > 245;
            }
        }
        EXPECT_EQ(white, 0);
    }
}

TEST(ResourceFiles, PathListHasNoDuplicatesAndOnlyRelativeForwardSlashPaths) {
    std::set<std::string> seen;
    for (const std::string& path : Resources::AllPaths()) {
        EXPECT_TRUE(seen.insert(path).second) << path;
        EXPECT_EQ(path.find('\\'), std::string::npos) << path;
        EXPECT_NE(path.front(), '/') << path;
    }
}

TEST(ResourceFiles, ProgramSpellingOfPathsIsAccepted) {
    EXPECT_EQ(Resources::LocalPath(".\\images\\play\\button_normal_18.png"),
              QStringLiteral("images/play/button_normal_18.png"));
    EXPECT_EQ(Resources::LocalPath("images/a.png"), QStringLiteral("images/a.png"));
}

// A build keeps the resources beside the program; an installation keeps them in the data folder
// the relative path leads to. A folder counts only when it holds the placeholder picture.
TEST(ResourceFiles, FolderIsBesideTheProgramElseTheInstalledDataFolder) {
    namespace fs = std::filesystem;
    const fs::path root = fs::path(testing::TempDir()) / "resource-folder";
    fs::remove_all(root);
    const fs::path program = root / "usr/lib/zavreo";
    const fs::path data = root / "usr/share/zavreo";
    fs::create_directories(program);
    fs::create_directories(data);
    const fs::path installed = "../../share/zavreo";

    EXPECT_EQ(Resources::Folder(program, installed), program);
    std::ofstream(data / Resources::kPlaceholder) << "picture";
    EXPECT_EQ(Resources::Folder(program, installed), data);
    std::ofstream(program / Resources::kPlaceholder) << "picture";
    EXPECT_EQ(Resources::Folder(program, installed), program);

    // A folder by the placeholder's name is no resource folder.
    fs::remove(program / Resources::kPlaceholder);
    fs::remove(data / Resources::kPlaceholder);
    fs::create_directories(data / Resources::kPlaceholder);
    EXPECT_EQ(Resources::Folder(program, installed), program);
    fs::remove_all(root);
}

// The icon keeps its tile, its "Z" and its red dot at every theme size, down to 16 pixels.
TEST(ResourceFiles, ProgramIconIsDrawnAtEveryThemeSize) {
    for (int size : ProgramIcon::kThemeSizes) {
        SCOPED_TRACE(size);
        const QImage icon = ProgramIcon::Draw(size);
        ASSERT_EQ(icon.size(), QSize(size, size));
        EXPECT_EQ(qAlpha(icon.pixel(0, 0)), 0);  // rounded corner
        EXPECT_EQ(qAlpha(icon.pixel(size / 2, int(size * 0.9))), 255);
        // The middle of the Z's top bar is the skin's text colour.
        const QColor bar = icon.pixelColor(size / 2, int(size * 0.3));
        EXPECT_GT(bar.lightness(), 180);
        // The dot, top right, is red.
        const QColor dot = icon.pixelColor(int(size * 0.9 - std::max(3.0, size * 0.18) / 2),
                                           int(size * 0.1 + std::max(3.0, size * 0.18) / 2));
        EXPECT_GT(dot.red(), 180);
        EXPECT_LT(dot.green(), 120);
    }
}

}  // namespace
