#pragma once

#include "ColorLut.h"
#include "FilterBase.h"

namespace EM {

// 甜美可人: a warm, pinkish, slightly faded colour grade. No parameters.
class SweetFilter : public FilterBase {
public:
    SweetFilter();
    void Process(EffectImage& image) override { lut_.Apply(image); }
    const ColorLut* ToneCurve() const override { return &lut_; }

private:
    ColorLut lut_;
};

}  // namespace EM
