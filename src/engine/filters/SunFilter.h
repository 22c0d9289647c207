#pragma once

#include "FilterBase.h"

namespace EM {

// Registered so the chain accepts it; leaves the picture unchanged for now.
class SunFilter : public FilterBase {
public:
    void Process(EffectImage&) override {}
};

}  // namespace EM
