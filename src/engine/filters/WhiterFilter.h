#pragma once

#include <vector>

#include "ColorLut.h"
#include "FilterBase.h"
#include "Resample.h"

namespace EM {

// 美白柔肤: a fixed gentle whitening plus a soft glow (a blurred copy screened over the picture).
// The glow is computed at a quarter of the size, where blurring is cheap; it is so smooth that
// each of its pixels serves four columns unchanged. On frames larger than the 640 x 480 design
// the glow's spread and the share of the picture it is computed at scale with the frame's height.
// No parameters.
class WhiterFilter : public FilterBase {
public:
    WhiterFilter();
    void Process(EffectImage& image) override;
    void Prepare(int width, int height) override;

private:
    void BlurLow();
    void GlowRow(int y);

    ColorLut glow_;                // whitened and scaled to the glow's opacity, 0..kMaxGlow
    std::vector<uint8_t> screen_;  // [glow][value]: the whitened value with the glow screened on
    int width_ = 0, height_ = 0, lowWidth_ = 0, lowHeight_ = 0;
    int factor_ = 4;      // full-size pixels per low-resolution pixel, each way
    int blurRadius_ = 0;  // in low-resolution pixels
    std::vector<uint8_t> low_, lowScratch_, glowRow_, line_;
    std::vector<uint16_t> columnSums_;
    BoxDownsampler downsampler_;
};

}  // namespace EM
