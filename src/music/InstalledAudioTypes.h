#pragma once
// The audio files the installed GStreamer can play: KnownAudioFormats whose container some
// demuxer or parser takes and whose sound some decoder takes. Looked up in the registry once and
// kept; safe on any thread.

#include <string>
#include <vector>

namespace zavreo {

const std::vector<std::string>& InstalledAudioExtensions();

}  // namespace zavreo
