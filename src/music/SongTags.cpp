#include "SongTags.h"

namespace zavreo {

namespace {

// Tags often carry padding or a line end; neither belongs to the name.
std::string Trimmed(const std::string& text) {
    const char* blanks = " \t\r\n";
    const size_t first = text.find_first_not_of(blanks);
    if (first == std::string::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

}  // namespace

std::string SongFileName(const std::string& path) {
    const size_t slash = path.rfind('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0) {
        name.erase(dot);
    }
    return name;
}

std::string ShownSongName(const std::string& path, const SongTags* tags) {
    const std::string title = tags != nullptr ? Trimmed(tags->title) : std::string();
    if (title.empty()) {
        return SongFileName(path);
    }
    const std::string artist = Trimmed(tags->artist);
    return artist.empty() ? title : artist + " - " + title;
}

}  // namespace zavreo
