#pragma once
// Photos: the last processed camera frame, effects included, at the size the chain runs at (so a
// large camera size gives a large photo), saved as a JPEG named by the time stem in the photo
// folder. Interface thread; the frame copy is the only step under the pipeline
// mutex.

#include <filesystem>

namespace zavreo {

class CCameraGraph;
class CSampleGrabberCB;

enum class PhotoOutcome {
    kCameraClosed,  // the camera graph is not running: nothing is saved
    kNoFrame,       // no frame has arrived since the camera opened: nothing is saved
    kSaved,
    kSaveFailed,
};

// Copies the last processed frame, turns it top row first and writes it to `path` (the format
// follows the extension).
PhotoOutcome SavePhoto(CSampleGrabberCB& grabber, const std::filesystem::path& path);

// Saves "<time stem>.jpg" in `folder` (created when missing) while the camera runs, readable by
// its owner only and never over an existing file; `saved` gets the path the photo was meant for.
PhotoOutcome TakePhoto(const CCameraGraph& camera, CSampleGrabberCB& grabber,
                       const std::filesystem::path& folder, std::filesystem::path* saved);

}  // namespace zavreo
