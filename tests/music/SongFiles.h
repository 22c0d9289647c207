#pragma once
// Real songs for the tests, encoded by FFmpeg: a sine tone of the given length.

#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>

namespace testsongs {

// `codec` is "libmp3lame" for .mp3 or "wmav2" for .wma. False when FFmpeg failed.
inline bool MakeSong(const std::filesystem::path& file, double seconds, const char* codec) {
    const std::string command =
        "ffmpeg -v error -y -f lavfi -i sine=frequency=440:duration=" + std::to_string(seconds) +
        " -ac 2 -ar 44100 -c:a " + codec + " '" + file.string() + "' </dev/null";
    return std::system(command.c_str()) == 0;
}

// The same with tags ("title", "artist", ...) written as the container keeps them (ID3v2, Vorbis
// comments, MP4 or ASF tags).
inline bool MakeTaggedSong(const std::filesystem::path& file, double seconds, const char* codec,
                           const std::map<std::string, std::string>& tags) {
    std::string metadata;
    for (const auto& [key, value] : tags) {
        metadata += " -metadata '" + key + "=" + value + "'";
    }
    const std::string command =
        "ffmpeg -v error -y -f lavfi -i sine=frequency=440:duration=" + std::to_string(seconds) +
        " -ac 2 -ar 48000 -c:a " + codec + metadata + " '" + file.string() + "' </dev/null";
    return std::system(command.c_str()) == 0;
}

}  // namespace testsongs
