#pragma once
// Which windowing platform the program runs on, chosen before the application object exists.
// Where a desktop offers both Wayland and X (XWayland), X wins: there the lyrics window, its bar,
// the pad and the tips keep the places and the stacking the program gives them, which Wayland
// leaves to the compositor. Only Wayland: native Wayland. A platform the user named in
// QT_QPA_PLATFORM is taken as it is. No display at all: a message instead of Qt's abort.

#include <string>

namespace zavreo {

// What the session offers, as read from the environment and by knocking at each display.
struct DisplayOffer {
    std::string userPlatform;     // QT_QPA_PLATFORM; empty when not set
    std::string xDisplay;         // DISPLAY
    std::string waylandDisplay;   // WAYLAND_DISPLAY
    bool xAnswers = false;        // the X server took a connection
    bool waylandAnswers = false;  // the compositor's socket took a connection
    bool waylandPlugin = false;   // Qt's Wayland platform plugin is installed
};

struct PlatformDecision {
    // The platform to hand Qt ("xcb", "wayland"); empty: Qt's own choice from QT_QPA_PLATFORM.
    std::string platform;
    // Not empty: nothing to show windows on; print this (a line) to standard error and exit 1.
    std::string missing;
};

PlatformDecision ChoosePlatform(const DisplayOffer& offer);

// Reads the environment and tries each named display once. `waylandPlugin` as found by the
// caller, which knows where Qt's plugins lie.
DisplayOffer ProbeDisplays(bool waylandPlugin);

}  // namespace zavreo
