#pragma once
// Real songs for the tests, encoded by FFmpeg: a sine tone of the given length.

#include <cstdlib>
#include <filesystem>
#include <string>

namespace testsongs {

// `codec` is "libmp3lame" for .mp3 or "wmav2" for .wma. False when FFmpeg failed.
inline bool MakeSong(const std::filesystem::path& file, double seconds, const char* codec) {
    const std::string command =
        "ffmpeg -v error -y -f lavfi -i sine=frequency=440:duration=" + std::to_string(seconds) +
        " -ac 2 -ar 44100 -c:a " + codec + " '" + file.string() + "' </dev/null";
    return std::system(command.c_str()) == 0;
}

}  // namespace testsongs
