#pragma once
// The three mirror buttons: at most one mode ("dside", "hflip" or "vflip") is active; clicking
// another switches the one mirror filter by changing its parameters, clicking the active one
// removes the filter. The filter stays in the chain while the camera is closed and reopened.
// Interface thread only.

#include <array>
#include <map>
#include <string>

namespace zavreo {

class MirrorModes {
public:
    enum Mode { kDoubleSide = 0, kFlipHorizontal = 1, kFlipVertical = 2 };

    // What a click asks of the effect chain (operation and parameters for the mirror kind).
    struct Change {
        int operation;
        std::map<std::string, std::string> params;
    };
    Change Click(Mode mode);

    bool Selected(Mode mode) const { return selected_[mode]; }
    bool FilterPresent() const { return present_; }

private:
    std::array<bool, 3> selected_{};
    bool present_ = false;
};

}  // namespace zavreo
