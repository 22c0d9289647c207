#pragma once
// Where the program's sound goes. Songs and sound effects play into the same kind of GStreamer
// sink: the one the caller names, else $ZAVREO_AUDIO_SINK (e.g. "fakesink sync=true" for tests),
// else the system's default output.

#include <gst/gst.h>

#include <string>

namespace zavreo {

// The sink description to use: `chosen` when not empty, else the environment's, else
// "autoaudiosink".
std::string AudioSinkDescription(std::string chosen = {});

// A sink bin made from a description; null when it does not parse (the player's default sink is
// then used).
GstElement* MakeAudioSink(const std::string& description);

}  // namespace zavreo
