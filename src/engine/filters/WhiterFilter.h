#pragma once

#include <vector>

#include "ColorLut.h"
#include "FilterBase.h"
#include "Resample.h"

namespace EM {

// 美白柔肤: a fixed gentle whitening plus a soft glow (a blurred copy screened over the picture).
// The glow is computed at a quarter of the size, where blurring is cheap; it is so smooth that
// each of its pixels serves four columns unchanged. No parameters.
class WhiterFilter : public FilterBase {
public:
    WhiterFilter();
    void Process(EffectImage& image) override;

private:
    void Prepare(int width, int height);
    void BlurLow();
    void GlowRow(int y);

    ColorLut glow_;                // whitened and scaled to the glow's opacity, 0..kMaxGlow
    std::vector<uint8_t> screen_;  // [glow][value]: the whitened value with the glow screened on
    int width_ = 0, height_ = 0, lowWidth_ = 0, lowHeight_ = 0;
    std::vector<uint8_t> low_, lowScratch_, glowRow_, line_;
    std::vector<uint16_t> columnSums_;
    BoxDownsampler downsampler_;
};

}  // namespace EM
