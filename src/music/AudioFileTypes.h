#pragma once
// The kinds of audio file the songs can be: those of a list of widespread audio formats whose
// container a player can take apart and whose sound it can decode (InstalledAudioTypes.h asks
// GStreamer). MP3 and WMA are always offered, as the playlists have always taken them. Safe on
// any thread.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace zavreo {

struct AudioFormat {
    const char* extension;  // lower case, without the dot
    const char* container;  // caps a demuxer or parser must take; null when none is needed
    const char* sound;      // caps a decoder must take; null for plain PCM
};

// Every format the program knows of, in the order the file dialog lists them.
const std::vector<AudioFormat>& KnownAudioFormats();

// The extensions of `formats` for which `canOpen(container)` and `canDecode(sound)` hold
// (a null caps always holds), without repeats, always beginning with "mp3" and "wma".
std::vector<std::string> PlayableExtensions(const std::vector<AudioFormat>& formats,
                                            const std::function<bool(const char* caps)>& canOpen,
                                            const std::function<bool(const char* caps)>& canDecode);

// The add dialog's filter: "Music Files (*.mp3 *.wma ...)".
std::string AudioFileFilter(const std::vector<std::string>& extensions);

// Whether a file name is a song for the folder command: it ends in "mp3" or "wma", as songs always
// have, or in "." and one of `extensions`; compared as written, letter case included.
bool IsSongFileName(std::string_view name, const std::vector<std::string>& extensions);

}  // namespace zavreo
