#pragma once

#include "ColorLut.h"
#include "FilterBase.h"

namespace EM {

// 16:9: black bars above and below leave a 16:9 picture (640 x 360 in a 640 x 480 frame), graded
// with a light cinematic tone (a little contrast, cool shadows, warm highlights). A frame already
// as wide as 16:9 gets no bars.
class MovieFilter : public FilterBase {
public:
    MovieFilter();
    void Process(EffectImage& image) override;

private:
    ColorLut lut_;
};

}  // namespace EM
