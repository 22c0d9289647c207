// Draws the program's icon into an icon theme folder, one picture a size:
// FOLDER/hicolor/NxN/apps/NAME.png.

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <cstdio>

#include "ProgramIcon.h"

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: icongen THEME_FOLDER NAME\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const QString name = QString::fromLocal8Bit(argv[2]);
    for (int size : ProgramIcon::kThemeSizes) {
        const QString apps = QStringLiteral("%1/hicolor/%2x%2/apps").arg(folder).arg(size);
        const QString path = apps + "/" + name + ".png";
        if (!QDir().mkpath(apps) ||
            !ProgramIcon::Draw(size).convertToFormat(QImage::Format_ARGB32).save(path, "PNG")) {
            std::fprintf(stderr, "icongen: cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    return 0;
}
