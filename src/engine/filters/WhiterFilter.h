#pragma once

#include <vector>

#include "ColorLut.h"
#include "FilterBase.h"
#include "Resample.h"

namespace EM {

// 美白柔肤: a fixed gentle whitening plus a soft glow (a blurred copy screened over the picture).
// The glow is computed at a quarter of the size, where blurring is cheap. No parameters.
class WhiterFilter : public FilterBase {
public:
    WhiterFilter();
    void Process(EffectImage& image) override;

private:
    void Prepare(int width, int height);
    void BlurLow();

    ColorLut whiten_;
    ColorLut glow_;  // whitened and scaled to the glow's opacity
    int width_ = 0, height_ = 0, lowWidth_ = 0, lowHeight_ = 0;
    std::vector<uint8_t> low_, lowScratch_, glowRow_;
    BoxDownsampler downsampler_;
    BilinearUpsampler upsampler_;
};

}  // namespace EM
