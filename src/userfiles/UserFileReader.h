#pragma once
// The one way the program reads a user's file (settings, playlists, picture list, lyrics, the
// update description). Only regular files are read, opened without blocking, and never more than
// a bound: a FIFO, a device or a link to /dev/zero in place of a file reads as missing instead of
// holding the start or filling memory.

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>

namespace zavreo {

// Enough for any settings line or playlist the program writes.
inline constexpr std::size_t kMaxUserLineBytes = 1u << 20;

// The file's bytes, at most `maxBytes` of them; nullopt when it is not a readable regular file.
std::optional<std::string> ReadRegularFile(const std::filesystem::path& path, std::size_t maxBytes);

// Playlists grow with the user's songs: about 80 bytes each, so this holds hundreds of thousands.
inline constexpr std::size_t kMaxPlaylistLineBytes = 64u << 20;

// The first line (without its line feed) of at most `maxBytes`; nullopt as above.
std::optional<std::string> ReadFirstLine(const std::filesystem::path& path,
                                         std::size_t maxBytes = kMaxUserLineBytes);

// The last `bytes` bytes of a regular file (a song's ID3v1 tag); nullopt as above or when the file
// is shorter.
std::optional<std::string> ReadFileTail(const std::filesystem::path& path, std::size_t bytes);

}  // namespace zavreo
