#pragma once
// A song's title and artist as its tags give them, and the name the program shows a song by:
// "artist - title" from the tags, the title alone without an artist, the file's name without its
// extension (PlaylistModel::DisplayName) where there is no title. Safe on any thread.

#include <string>

namespace zavreo {

struct SongTags {
    std::string title;   // UTF-8, empty when the tags have none
    std::string artist;  // UTF-8, empty when the tags have none
    bool operator==(const SongTags&) const = default;
};

// What the songs view and the title line show for a song; `tags` may be null (not read, or none).
std::string ShownSongName(const std::string& path, const SongTags* tags);

}  // namespace zavreo
