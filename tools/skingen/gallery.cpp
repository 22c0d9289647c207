// Renders every skinned control and every generated picture into one contact sheet:
//   gallery RESOURCE_FOLDER OUTPUT.png
// Fails when a control draws nothing but its background, when two states of a control look the
// same, or when a named picture does not load.

#include <QApplication>
#include <QDir>
#include <QEnterEvent>
#include <QPainter>
#include <cstdio>

#include <QAbstractItemView>
#include "CBitComboBox.h"

#include "CBitmapSlider.h"
#include "CColorButton.h"
#include "CColorWnd.h"
#include "CDLEdit.h"
#include "CListCtrlCl.h"
#include "CPngButton.h"
#include "CSideBarMenu.h"
#include "CSplashDlg.h"
#include "CXiaoXiTiShi.h"
#include "ResourcePaths.h"

namespace {

constexpr int kSheetWidth = 1800;
constexpr int kCellWidth = 128;
constexpr int kCellHeight = 112;

struct Shot {
    QString caption;
    QPixmap picture;
};

// Controls are grabbed on the skin's background, as their dark windows show them.
QPixmap Grab(QWidget& widget) {
    QPalette colours = widget.palette();
    colours.setColor(QPalette::Window, QColor(44, 44, 53));
    widget.setPalette(colours);
    return widget.grab();
}

QPixmap Button(const char* normal, const char* over, const char* press, int mode, bool hover,
               bool selected) {
    CPngButton button;
    button.SetImages(normal, over, press, mode);
    if (hover) {
        QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
        QApplication::sendEvent(&button, &enter);
    }
    button.SetSelected(selected);
    return Grab(button);
}

std::vector<Shot> Controls() {
    std::vector<Shot> shots;
    const char* n = "images/play/button_normal_18.png";
    const char* o = "images/play/button_over_18.png";
    const char* p = "images/play/button_press_18.png";
    shots.push_back({"CPngButton rest", Button(n, o, p, 1, false, false)});
    shots.push_back({"CPngButton over", Button(n, o, p, 1, true, false)});
    const char* tn = "images/right/display/normal_03.png";
    const char* to = "images/right/display/over_03.png";
    const char* tp = "images/right/display/press_03.png";
    shots.push_back({"tab mode 4", Button(tn, to, tp, 4, false, false)});
    shots.push_back({"tab over", Button(tn, to, tp, 4, true, false)});
    shots.push_back({"tab selected", Button(tn, to, tp, 4, false, true)});
    {
        CPngButton sprite;
        sprite.SetSprite("skin/vocal_remove.png", 6);
        sprite.SetSelected(true);
        shots.push_back({"sprite mode 6 selected", Grab(sprite)});
    }
    {
        CPngButton tag;
        tag.setText(QStringLiteral("求守护"));
        tag.SetImages("images/right/Special/specialeffect_lvjing_wodebiaoqian_normal_113.png",
                      "images/right/Special/specialeffect_lvjing_wodebiaoqian_over_113.png",
                      "images/right/Special/specialeffect_lvjing_wodebiaoqian_press_113.png");
        shots.push_back({"tag with caption", Grab(tag)});
    }
    {
        CBitmapSlider progress;
        progress.resize(450, 30);
        progress.SetBitmapChannel(178, 174);
        progress.SetBitmapThumb(175, 177, 176);
        progress.SetMargin(0, 2, 0, 0);
        progress.SetPos(30);
        shots.push_back({"progress 30%", Grab(progress)});
        CBitmapSlider volume;
        volume.resize(71, 30);
        volume.SetBitmapChannel(181, 179);
        volume.SetBitmapThumb(175, 177, 176);
        volume.SetRange(0, 1000);
        volume.SetPos(500);
        shots.push_back({"volume 500", Grab(volume)});
        CBitmapSlider beauty;
        beauty.resize(160, 30);
        beauty.SetBitmapChannel(199, 199);
        beauty.SetBitmapThumb(175, 177, 176);
        beauty.SetPos(50);
        beauty.setEnabled(false);
        shots.push_back({"beauty disabled", Grab(beauty)});
        beauty.SetBitmapChannel(199, 200);
        beauty.setEnabled(true);
        shots.push_back({"beauty active", Grab(beauty)});
    }
    {
        CBitComboBox combo;
        combo.resize(150, 24);
        combo.addItems({QStringLiteral("640 x 480"), QStringLiteral("1280 x 720")});
        shots.push_back({"CBitComboBox", Grab(combo)});
    }
    {
        CDLEdit empty;
        empty.resize(150, 24);
        shots.push_back({"CDLEdit prompt", Grab(empty)});
        CDLEdit filled;
        filled.resize(150, 24);
        filled.setText(QStringLiteral("我的歌单"));
        shots.push_back({"CDLEdit text", Grab(filled)});
    }
    {
        CListCtrlCl list;
        list.resize(330, 130);
        list.InsertColumn(0, QStringLiteral("歌名"), 0, 150);
        list.InsertColumn(1, QStringLiteral("歌手"), 1, 100);
        list.InsertColumn(2, QStringLiteral("来源"), 2, 70);
        const char* rows[][3] = {{"月亮代表我的心", "邓丽君", "1"},
                                 {"甜蜜蜜", "邓丽君", "2"},
                                 {"小城故事", "邓丽君", "3"}};
        for (int r = 0; r < 3; ++r) {
            list.InsertItem(r, QString::fromUtf8(rows[r][0]));
            list.SetItemText(r, 1, QString::fromUtf8(rows[r][1]));
            list.SetItemText(r, 2, QString::fromUtf8(rows[r][2]));
        }
        list.SetRowColor(2, QColor(230, 240, 255));
        list.selectRow(1);
        shots.push_back({"CListCtrlCl", Grab(list)});
    }
    {
        CColorButton button;
        button.resize(60, 24);
        button.SetColor(0x0000FF);
        shots.push_back({"CColorButton", Grab(button)});
        CColorWnd popup(nullptr, 0xC0C0C0);
        shots.push_back({"CColorWnd", Grab(popup)});
    }
    {
        CSideBarMenu menu;
        const char* items[] = {"单曲循环    ", "列表循环", "", "顺序播放", "随机播放"};
        int id = 1;
        for (const char* text : items) {
            menu.AppendMenu(id++, text);
        }
        menu.setActiveAction(menu.actions()[1]);
        shots.push_back({"CSideBarMenu", Grab(menu)});
        CSideBarMenuZJ colours;
        const char* names[] = {"深邃蓝", "高贵紫", "活力黄", "淡雅灰", "清新绿"};
        for (int i = 0; i < 5; ++i) {
            colours.AppendMenu(6601 + i, names[i]);
        }
        shots.push_back({"CSideBarMenuZJ", Grab(colours)});
    }
    {
        QWidget owner;
        CXiaoXiTiShi tip(&owner);
        tip.ShowTip(TipText::kOpenCameraFirst);
        shots.push_back({"CXiaoXiTiShi", Grab(tip)});
        CSplashDlg splash;
        shots.push_back({"CSplashDlg", Grab(splash)});
    }
    return shots;
}

bool OneColour(const QPixmap& picture) {
    const QImage image = picture.toImage();
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixel(x, y) != image.pixel(0, 0)) {
                return false;
            }
        }
    }
    return true;
}

std::vector<QString> ControlFaults(const std::vector<Shot>& shots) {
    std::vector<QString> faults;
    auto find = [&](const char* caption) {
        for (const Shot& shot : shots) {
            if (shot.caption == QLatin1String(caption)) {
                return shot.picture.toImage();
            }
        }
        faults.push_back(QStringLiteral("no shot ") + caption);
        return QImage();
    };
    for (const Shot& shot : shots) {
        if (shot.picture.isNull() || OneColour(shot.picture)) {
            faults.push_back(shot.caption + QStringLiteral(" draws nothing"));
        }
    }
    const std::pair<const char*, const char*> differing[] = {
        {"CPngButton rest", "CPngButton over"}, {"tab mode 4", "tab over"},
        {"tab mode 4", "tab selected"},         {"tab over", "tab selected"},
        {"beauty disabled", "beauty active"},   {"CDLEdit prompt", "CDLEdit text"},
    };
    for (const auto& [a, b] : differing) {
        if (find(a) == find(b)) {
            faults.push_back(QStringLiteral("%1 looks like %2").arg(a, b));
        }
    }
    return faults;
}

void Checkerboard(QPainter& p, const QRect& area) {
    for (int y = area.top(); y < area.bottom(); y += 8) {
        for (int x = area.left(); x < area.right(); x += 8) {
            const bool dark = ((x - area.left()) / 8 + (y - area.top()) / 8) % 2;
            p.fillRect(QRect(x, y, 8, 8).intersected(area),
                       dark ? QColor(70, 70, 70) : QColor(100, 100, 100));
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: gallery RESOURCE_FOLDER OUTPUT.png\n");
        return 2;
    }
    const QString output = QDir::current().absoluteFilePath(QString::fromLocal8Bit(argv[2]));
    QDir::setCurrent(QString::fromLocal8Bit(argv[1]));

    const std::vector<Shot> controls = Controls();
    std::vector<QString> faults = ControlFaults(controls);
    std::vector<Shot> pictures;
    for (const std::string& path : Resources::AllPaths()) {
        const QString name = QString::fromStdString(path);
        if (name.endsWith(QLatin1String(".mp3")) || name.endsWith(QLatin1String(".TTF"))) {
            continue;
        }
        QPixmap picture(name);
        if (picture.isNull()) {
            faults.push_back(name + QStringLiteral(" does not load"));
        } else {
            pictures.push_back({name.section('/', -1), picture});
        }
    }

    // Controls flow left to right at their own size; pictures go into fixed cells.
    QFont small(QStringLiteral("Noto Sans CJK SC"));
    small.setPixelSize(10);
    const QFontMetrics captionMetrics(small);
    int x = 10, y = 56, rowHeight = 0;
    std::vector<QPoint> controlPlaces;
    for (const Shot& shot : controls) {
        const int w = std::max(
            {shot.picture.width(), 90, captionMetrics.horizontalAdvance(shot.caption) + 4});
        if (x + w > kSheetWidth - 10) {
            x = 10;
            y += rowHeight + 24;
            rowHeight = 0;
        }
        controlPlaces.emplace_back(x, y);
        x += w + 16;
        rowHeight = std::max(rowHeight, shot.picture.height());
    }
    const int picturesTop = y + rowHeight + 60;
    const int columns = (kSheetWidth - 20) / kCellWidth;
    const int rows = int(pictures.size() + columns - 1) / columns;
    QImage sheet(kSheetWidth, picturesTop + rows * kCellHeight + 20, QImage::Format_RGB32);
    sheet.fill(QColor(30, 30, 36));
    QPainter p(&sheet);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    QFont title(QStringLiteral("Noto Sans CJK SC"));
    title.setPixelSize(18);
    title.setBold(true);
    p.setFont(title);
    p.setPen(Qt::white);
    p.drawText(10, 26, QStringLiteral("Controls"));
    p.drawText(10, picturesTop - 14, QStringLiteral("Pictures (%1)").arg(pictures.size()));
    p.setFont(small);
    for (size_t i = 0; i < controls.size(); ++i) {
        const QPoint at = controlPlaces[i];
        p.setPen(QColor(170, 170, 180));
        p.drawText(at.x(), at.y() - 4, controls[i].caption);
        p.drawPixmap(at, controls[i].picture);
    }
    for (size_t i = 0; i < pictures.size(); ++i) {
        const QRect cell(10 + int(i % columns) * kCellWidth,
                         picturesTop + int(i / columns) * kCellHeight, kCellWidth - 6,
                         kCellHeight - 6);
        const QRect area = cell.adjusted(0, 0, 0, -14);
        Checkerboard(p, area);
        const QPixmap& picture = pictures[i].picture;
        const QSize size = picture.size().boundedTo(area.size()) == picture.size()
                               ? picture.size()
                               : picture.size().scaled(area.size(), Qt::KeepAspectRatio);
        p.drawPixmap(QRect(area.center() - QPoint(size.width() / 2, size.height() / 2), size),
                     picture);
        p.setPen(QColor(170, 170, 180));
        p.drawText(QRect(cell.left(), area.bottom() + 1, cell.width(), 13),
                   Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                   p.fontMetrics().elidedText(pictures[i].caption, Qt::ElideMiddle, cell.width()));
    }
    p.end();
    if (!sheet.save(output)) {
        std::fprintf(stderr, "gallery: cannot write %s\n", argv[2]);
        return 1;
    }
    for (const QString& fault : faults) {
        std::fprintf(stderr, "gallery: %s\n", qPrintable(fault));
    }
    return faults.empty() ? 0 : 1;
}
