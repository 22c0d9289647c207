#include "ChooserFolder.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace ChooserFolder {
namespace {

QString& LastUsed(Kind kind) {
    static QString pictures, music;
    return kind == Kind::Pictures ? pictures : music;
}

QString UsualFolder(Kind kind) {
    const auto location =
        kind == Kind::Pictures ? QStandardPaths::PicturesLocation : QStandardPaths::MusicLocation;
    const QString folder = QStandardPaths::writableLocation(location);
    // Qt names the home folder when the desktop names no such folder; both must exist.
    if (!folder.isEmpty() && QFileInfo(folder).isDir()) {
        return folder;
    }
    return QDir::homePath();
}

}  // namespace

QString StartFor(Kind kind) {
    const QString& last = LastUsed(kind);
    if (!last.isEmpty() && QFileInfo(last).isDir()) {
        return last;
    }
    return UsualFolder(kind);
}

void RememberFiles(Kind kind, const QStringList& chosenFiles) {
    if (!chosenFiles.isEmpty()) {
        LastUsed(kind) = QFileInfo(chosenFiles.first()).absolutePath();
    }
}

void RememberFolder(Kind kind, const QString& chosenFolder) {
    if (!chosenFolder.isEmpty()) {
        LastUsed(kind) = QFileInfo(chosenFolder).absoluteFilePath();
    }
}

}  // namespace ChooserFolder
