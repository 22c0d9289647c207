#include "MirrorModes.h"

#include "CSampleGrabberCB.h"

namespace zavreo {

MirrorModes::Change MirrorModes::Click(Mode mode) {
    if (selected_[mode]) {
        present_ = false;
        selected_ = {};
        return {kEffectRemove, {}};
    }
    static constexpr const char* kKeys[] = {"dside", "hflip", "vflip"};
    Change change{present_ ? kEffectModify : kEffectAdd, {}};
    for (int key = 0; key < 3; ++key) {
        change.params[kKeys[key]] = key == mode ? "true" : "false";
    }
    present_ = true;
    selected_ = {};
    selected_[mode] = true;
    return change;
}

}  // namespace zavreo
