#include "SongTags.h"

#include "PlaylistModel.h"

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

std::string ShownSongName(const std::string& path, const SongTags* tags) {
    const std::string title = tags != nullptr ? Trimmed(tags->title) : std::string();
    if (title.empty()) {
        return PlaylistModel::DisplayName(path);
    }
    const std::string artist = Trimmed(tags->artist);
    return artist.empty() ? title : artist + " - " + title;
}

}  // namespace zavreo
