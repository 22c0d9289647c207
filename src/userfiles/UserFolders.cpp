#include "UserFolders.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QStandardPaths>
#include <cerrno>
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

// `root` made as above, then each of `own` below it made 0700; one of those that exists as a
// folder of this user (not a link) loses any access of others.
std::filesystem::path MadePrivate(const std::filesystem::path& root,
                                  std::initializer_list<const char*> own) {
    std::filesystem::path folder = Made(root);
    for (const char* name : own) {
        folder /= name;
        if (mkdir(folder.c_str(), 0700) != 0 && errno == EEXIST) {
            struct stat info {};
            if (lstat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode) &&
                info.st_uid == geteuid() && (info.st_mode & 077) != 0) {
                chmod(folder.c_str(), info.st_mode & 07700);
            }
        }
    }
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
    return MadePrivate(DocumentsRoot(), {"ZavreoZhuShou", "Pic"});
}
std::filesystem::path VideoFolder() {
    return MadePrivate(DocumentsRoot(), {"ZavreoZhuShou", "Video"});
}

}  // namespace zavreo
