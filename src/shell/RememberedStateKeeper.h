#pragma once
// Brings back at a start what the last run ended with beside config.lst's settings (the volume,
// the mute switch, the play mode, the camera's output size and the main window's place) and
// collects it again at the exit, through the parts that own each value. The file itself is
// RememberedStateFile's. Interface thread only.

#include <optional>

#include "RememberedState.h"

class QComboBox;
class QWidget;

namespace zavreo {

class MusicController;

class RememberedStateKeeper {
public:
    // `cameraSizes` is the camera panel's size list ("W x H" items); `window` the main window.
    RememberedStateKeeper(RememberedStateFile file, MusicController& music, QComboBox& cameraSizes,
                          QWidget& window);

    // Reads the file and sets every part from it. A size the camera does not list, or a place on
    // no screen, is left as the start made it.
    void Restore();
    // Writes what the parts hold now; false when the file could not be written.
    bool Save() const;

    // What Save writes.
    RememberedState Collect() const;

private:
    // Window managers of some platforms (Wayland) place windows themselves.
    static bool PlatformPlacesWindows();

    RememberedStateFile file_;
    MusicController& music_;
    QComboBox& cameraSizes_;
    QWidget& window_;
    // Kept for the next save while no camera lists sizes.
    std::optional<FrameSize> loadedCameraSize_;
    std::optional<ScreenPoint> loadedPlace_;
};

}  // namespace zavreo
