#include "AudioSink.h"

#include <cstdlib>

namespace zavreo {

std::string AudioSinkDescription(std::string chosen) {
    if (!chosen.empty()) {
        return chosen;
    }
    const char* fromEnv = std::getenv("ZAVREO_AUDIO_SINK");
    return fromEnv != nullptr && fromEnv[0] != '\0' ? fromEnv : "autoaudiosink";
}

GstElement* MakeAudioSink(const std::string& description) {
    GError* error = nullptr;
    GstElement* sink = gst_parse_bin_from_description(description.c_str(), TRUE, &error);
    g_clear_error(&error);
    return sink;
}

}  // namespace zavreo
