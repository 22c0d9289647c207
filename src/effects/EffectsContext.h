#pragma once
// What the effects pages work on: the frame callback, whose ConfigureEffect and ConfigureOverlay
// change the effect chain, and the engine parameter maps, which the pages fill.

#include <array>

#include "CSampleGrabberCB.h"
#include "EffectRules.h"

namespace zavreo::effects {

// The engine parameter maps of the effects panel, one a filter instance the pages configure.
struct EffectParams {
    ParamMap text;
    ParamMap scale;
    ParamMap brightness;
    ParamMap level;
    ParamMap sun;
    std::array<ParamMap, 5> deco;
};

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
