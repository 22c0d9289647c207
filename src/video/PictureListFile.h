#pragma once
// "PicPath.lst", the slideshow's pictures: one line {"list":[paths...],"num":count} and a line
// feed, paths as raw UTF-8.

#include <filesystem>
#include <string>
#include <vector>

namespace zavreo {

inline constexpr char kPictureListFileName[] = "PicPath.lst";

// The listed paths that still exist, in list order. "num" says how many entries to take; it is
// bounded by the entries actually present, so a wrong or huge count cannot hold the start. A
// missing or unreadable file gives an empty list.
std::vector<std::string> LoadPictureList(const std::filesystem::path& file);

// Replaces the file atomically; false when it cannot be written.
bool SavePictureList(const std::filesystem::path& file, const std::vector<std::string>& paths);

}  // namespace zavreo
