#pragma once
// GStreamer start-up shared by every pipeline of the program.

namespace zavreo {

// Initialises GStreamer once for the process; false when it cannot start.
bool EnsureGstInitialised();

}  // namespace zavreo
