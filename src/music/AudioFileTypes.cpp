#include "AudioFileTypes.h"

#include <algorithm>

namespace zavreo {

const std::vector<AudioFormat>& KnownAudioFormats() {
    static const std::vector<AudioFormat> formats = {
        {"mp3", nullptr, "audio/mpeg, mpegversion=(int)1, layer=(int)3"},
        {"wma", "video/x-ms-asf", "audio/x-wma"},
        {"flac", "audio/x-flac", "audio/x-flac"},
        {"ogg", "application/ogg", "audio/x-vorbis"},
        {"oga", "application/ogg", "audio/x-vorbis"},
        {"opus", "application/ogg", "audio/x-opus"},
        {"spx", "application/ogg", "audio/x-speex"},
        {"m4a", "video/quicktime", "audio/mpeg, mpegversion=(int)4"},
        {"m4b", "video/quicktime", "audio/mpeg, mpegversion=(int)4"},
        {"aac", "audio/mpeg, mpegversion=(int)4", "audio/mpeg, mpegversion=(int)4"},
        {"wav", "audio/x-wav", nullptr},
        {"aiff", "audio/x-aiff", nullptr},
        {"aif", "audio/x-aiff", nullptr},
        {"au", "audio/x-au", nullptr},
        {"mp2", nullptr, "audio/mpeg, mpegversion=(int)1, layer=(int)2"},
        {"wv", "audio/x-wavpack", "audio/x-wavpack"},
        {"ape", "application/x-ape", nullptr},
        {"mka", "audio/x-matroska", nullptr},
    };
    return formats;
}

std::vector<std::string> PlayableExtensions(const std::vector<AudioFormat>& formats,
                                            const std::function<bool(const char*)>& canOpen,
                                            const std::function<bool(const char*)>& canDecode) {
    std::vector<std::string> extensions = {"mp3", "wma"};
    for (const AudioFormat& format : formats) {
        const bool opens = format.container == nullptr || canOpen(format.container);
        const bool decodes = format.sound == nullptr || canDecode(format.sound);
        if (opens && decodes &&
            std::find(extensions.begin(), extensions.end(), format.extension) == extensions.end()) {
            extensions.emplace_back(format.extension);
        }
    }
    return extensions;
}

std::string AudioFileFilter(const std::vector<std::string>& extensions) {
    std::string patterns;
    for (const std::string& extension : extensions) {
        patterns += (patterns.empty() ? "*." : " *.") + extension;
    }
    return "Music Files (" + patterns + ")";
}

bool IsSongFileName(std::string_view name, const std::vector<std::string>& extensions) {
    if (name.ends_with("mp3") || name.ends_with("wma")) {
        return true;
    }
    const size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || dot == 0) {
        return false;
    }
    const std::string_view extension = name.substr(dot + 1);
    return std::find(extensions.begin(), extensions.end(), extension) != extensions.end();
}

}  // namespace zavreo
