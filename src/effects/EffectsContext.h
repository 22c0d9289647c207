#pragma once
// What the effects pages work on: the frame callback, whose ConfigureEffect and ConfigureOverlay
// change the effect chain, and the main window's parameter maps, which the pages fill.

#include <array>

#include "CSampleGrabberCB.h"
#include "EffectRules.h"

namespace zavreo::effects {

struct EffectsContext {
    CSampleGrabberCB& callback;
    ParamMap& textParams;
    ParamMap& scaleParams;
    ParamMap& brightnessParams;
    ParamMap& levelParams;
    ParamMap& sunParams;
    std::array<ParamMap, 5>& decoParams;
};

}  // namespace zavreo::effects
