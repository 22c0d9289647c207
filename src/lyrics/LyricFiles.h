#pragma once
// Where a song's lyrics lie on disk. The lyrics folder holds "NAME.lrc" for the song "NAME.mp3":
// downloaded lyrics and those chosen in the search dialog go there, and it is looked in first.
// Then the folder of the song itself, where most players keep "NAME.lrc" beside "NAME.mp3", with
// the extension in any letter case. Safe on any thread; the lookups touch the disk.

#include <filesystem>
#include <optional>
#include <string>

namespace zavreo {

// The song's file in `lyricsFolder`: its file name without extension, then ".lrc".
std::filesystem::path LyricsFolderFile(const std::filesystem::path& lyricsFolder,
                                       const std::string& songPath);

// The lyric file beside the song; none when there is none.
std::optional<std::filesystem::path> LyricFileBesideSong(const std::string& songPath);

// `folderFile` when it exists, else the file beside the song; none when neither exists.
std::optional<std::filesystem::path> FindLyricFile(const std::filesystem::path& folderFile,
                                                   const std::string& songPath);

}  // namespace zavreo
