#include "LyricFiles.h"

#include "PlaylistModel.h"

namespace zavreo {

namespace {

bool IsRegularFile(const std::filesystem::path& path) {
    std::error_code error;
    return std::filesystem::is_regular_file(path, error);
}

bool IsLrcExtension(const std::string& extension) {
    return extension.size() == 4 && extension[0] == '.' && (extension[1] | 0x20) == 'l' &&
           (extension[2] | 0x20) == 'r' && (extension[3] | 0x20) == 'c';
}

}  // namespace

std::filesystem::path LyricsFolderFile(const std::filesystem::path& lyricsFolder,
                                       const std::string& songPath) {
    return lyricsFolder / (PlaylistModel::DisplayName(songPath) + ".lrc");
}

std::optional<std::filesystem::path> LyricFileBesideSong(const std::string& songPath) {
    const std::filesystem::path song(songPath);
    const std::string name = PlaylistModel::DisplayName(songPath);
    if (name.empty() || !song.has_parent_path()) {
        return std::nullopt;
    }
    // The usual spelling is found without listing the folder.
    const std::filesystem::path usual = song.parent_path() / (name + ".lrc");
    if (IsRegularFile(usual)) {
        return usual;
    }
    std::error_code error;
    std::optional<std::filesystem::path> found;
    for (std::filesystem::directory_iterator it(song.parent_path(), error), end;
         !error && it != end; it.increment(error)) {
        const std::filesystem::path& candidate = it->path();
        if (candidate.stem() == name && IsLrcExtension(candidate.extension().string()) &&
            IsRegularFile(candidate) && (!found || candidate < *found)) {
            // Of ".LRC" and ".Lrc" beside each other, the same one every time.
            found = candidate;
        }
    }
    return found;
}

std::optional<std::filesystem::path> FindLyricFile(const std::filesystem::path& folderFile,
                                                   const std::string& songPath) {
    if (IsRegularFile(folderFile)) {
        return folderFile;
    }
    return LyricFileBesideSong(songPath);
}

}  // namespace zavreo
