#pragma once
// "PicPath.lst", the slideshow's pictures: one line {"list":[paths...],"num":count} and a line
// feed, paths as raw UTF-8.

#include <filesystem>
#include <string>
#include <vector>

#include "UserFileReader.h"

namespace zavreo {

inline constexpr char kPictureListFileName[] = "PicPath.lst";
// Pictures grow with the user's folders like songs: the playlists' limit.
inline constexpr std::size_t kMaxPictureListBytes = kMaxPlaylistLineBytes;

// The listed paths that still exist, in list order. "num" says how many entries to take; it is
// bounded by the entries actually present, so a wrong or huge count cannot hold the start. A
// missing or unreadable file gives an empty list. A file that exists and was not taken whole (a
// count other than its entries, an entry that is no text or holds a NUL byte) is kept beside
// (KeepBeforeReplacing), as is one whose rewrite would lose something (other members, more
// lines); pictures that are gone are no damage.
std::vector<std::string> LoadPictureList(const std::filesystem::path& file);

// Replaces the file atomically with at most `maxBytes`, the reader's limit: the last pictures are
// left out of a longer list. False when it cannot be written.
bool SavePictureList(const std::filesystem::path& file, const std::vector<std::string>& paths,
                     std::size_t maxBytes = kMaxPictureListBytes);

}  // namespace zavreo
