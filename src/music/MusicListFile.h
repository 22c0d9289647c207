#pragma once
// music.lst: the playlists between runs, one JSON line in the configuration folder. The default
// list comes first, the others follow in byte order of their names; a list without songs has no
// "musiclist". User-interface thread.

#include <json/value.h>

#include <filesystem>

#include "PlaylistModel.h"

namespace zavreo {

// The configuration folder's music.lst.
std::filesystem::path MusicListPath();

// Fills an empty model from `root` and registers every list in `ids`. Counts in the file are
// bounded by the arrays present; the default list is added first when the file lacks it. Sets
// m_bPlaylistMode.
void LoadMusicList(const Json::Value& root, PlaylistModel& model, ListMenuIds& ids);
// Reads `file`: missing, unreadable or not JSON gives the default list alone.
void LoadMusicListFile(const std::filesystem::path& file, PlaylistModel& model, ListMenuIds& ids);

Json::Value MusicListJson(const PlaylistModel& model);
// Replaces `file` as a whole; false (and the old file kept) when it cannot be written.
bool SaveMusicListFile(const std::filesystem::path& file, const PlaylistModel& model);

}  // namespace zavreo
