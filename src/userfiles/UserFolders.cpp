#include "UserFolders.h"

#include <QStandardPaths>
#include <cstdlib>
#include <string>

namespace zavreo {

namespace {

std::filesystem::path Home() {
    const char* home = std::getenv("HOME");
    return home != nullptr ? std::filesystem::path(home) : std::filesystem::path("/tmp");
}

// $XDG_CONFIG_HOME, else ~/.config.
std::filesystem::path ConfigRoot() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config != nullptr && config[0] == '/') {
        return config;
    }
    return Home() / ".config";
}

// The XDG documents folder (user-dirs.dirs), else the home folder.
std::filesystem::path DocumentsRoot() {
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return documents.isEmpty() ? Home() : std::filesystem::path(documents.toStdString());
}

std::filesystem::path Made(std::filesystem::path folder) {
    std::error_code ignored;
    std::filesystem::create_directories(folder, ignored);
    return folder;
}

}  // namespace

std::filesystem::path ConfigFolder() {
    return Made(ConfigRoot() / "ZavreoZhuShou" / "Config");
}
std::filesystem::path LyricsFolder() {
    return Made(DocumentsRoot() / "ZavreoZhuShou" / "Lyrics");
}
std::filesystem::path PicFolder() {
    return Made(DocumentsRoot() / "ZavreoZhuShou" / "Pic");
}
std::filesystem::path VideoFolder() {
    return Made(DocumentsRoot() / "ZavreoZhuShou" / "Video");
}

}  // namespace zavreo
