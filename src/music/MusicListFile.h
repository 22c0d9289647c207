#pragma once
// music.lst: the playlists between runs, one JSON line in the configuration folder. The default
// list comes first, the others follow in byte order of their names; a list without songs has no
// "musiclist". User-interface thread.

#include <json/value.h>

#include <filesystem>
#include <limits>

#include "PlaylistModel.h"
#include "UserFileReader.h"

namespace zavreo {

// The configuration folder's music.lst.
std::filesystem::path MusicListPath();

// Fills an empty model from `root` and registers every list in `ids`. Counts in the file are
// bounded by the arrays present; the default list is added first when the file lacks it. A list
// whose name an earlier list has is taken as a list of its own, named "<name>(2)" (or the next
// free number). Sets m_bPlaylistMode. Returns whether everything in `root` was taken: false when
// a count disagrees with its array or an entry had to be left out.
bool LoadMusicList(const Json::Value& root, PlaylistModel& model, ListMenuIds& ids);
// Whether writing the model back gives everything in `root` again: no members the program does
// not know, no list name given twice.
bool MusicListRewritesWhole(const Json::Value& root);
// Reads `file`: missing, unreadable or not JSON gives the default list alone. A file that exists
// and was not taken whole, or that a rewrite would not give back whole, is kept beside
// (KeepBeforeReplacing).
void LoadMusicListFile(const std::filesystem::path& file, PlaylistModel& model, ListMenuIds& ids);

// The songs after the first `maxSongs` (default list first, then the others in order) are left
// out.
Json::Value MusicListJson(const PlaylistModel& model,
                          std::size_t maxSongs = std::numeric_limits<std::size_t>::max());
// Replaces `file` as a whole with at most `maxBytes`, the reader's limit: the last songs are left
// out of a longer list. False (and the old file kept) when it cannot be written.
bool SaveMusicListFile(const std::filesystem::path& file, const PlaylistModel& model,
                       std::size_t maxBytes = kMaxPlaylistLineBytes);

}  // namespace zavreo
