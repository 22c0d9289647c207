// Draws the program's artwork into the resource folder given as the only argument.

#include <QDir>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <cstdio>

namespace {

bool DrawPlaceholder(const QString& folder) {
    QImage image(640, 480, QImage::Format_RGB888);
    QPainter painter(&image);
    QLinearGradient background(0, 0, 0, 480);
    background.setColorAt(0, QColor(44, 44, 53));
    background.setColorAt(1, QColor(24, 24, 30));
    painter.fillRect(image.rect(), background);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);

    QFont title(QStringLiteral("Noto Sans CJK SC"));
    title.setPixelSize(46);
    title.setBold(true);
    painter.setFont(title);
    painter.setPen(QColor(216, 216, 216));
    painter.drawText(QRect(0, 150, 640, 70), Qt::AlignCenter, QStringLiteral("Zavreo直播助手"));

    QFont note(QStringLiteral("Noto Sans CJK SC"));
    note.setPixelSize(22);
    painter.setFont(note);
    painter.setPen(QColor(142, 143, 157));
    painter.drawText(QRect(0, 240, 640, 40), Qt::AlignCenter,
                     QStringLiteral("未开启视频源，请打开摄像头或播放图片"));
    painter.setPen(QPen(QColor(96, 96, 107), 2));
    painter.drawRoundedRect(QRectF(170, 300, 300, 4), 2, 2);
    painter.end();
    return image.save(folder + "/test.png");
}

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: skingen RESOURCE_FOLDER\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(folder);
    if (!DrawPlaceholder(folder)) {
        std::fprintf(stderr, "skingen: cannot write into %s\n", argv[1]);
        return 1;
    }
    return 0;
}
