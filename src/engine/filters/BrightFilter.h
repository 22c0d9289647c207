#pragma once

#include "ColorLut.h"
#include "FilterBase.h"

namespace EM {

// Whitening, "brightness" 0..80: a logarithmic tone curve that lifts shadows and midtones more
// the higher the value while its flattening top keeps highlights from clipping. 0 is neutral.
class BrightFilter : public FilterBase {
public:
    BrightFilter() { OnParamsChanged(); }
    void Process(EffectImage& image) override;
    const ColorLut* ToneCurve() const override { return &lut_; }

private:
    void OnParamsChanged() override;

    int brightness_ = 0;
    ColorLut lut_;
};

}  // namespace EM
