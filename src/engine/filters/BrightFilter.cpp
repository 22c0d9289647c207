#include "BrightFilter.h"

#include <cmath>

namespace EM {

void BrightFilter::OnParamsChanged() {
    brightness_ = IntParam("brightness", 40, 0, 80);
    // y = log(1 + (b - 1) x) / log(b): the identity as b -> 1, gentler towards white.
    const double base = 1.0 + brightness_ / 20.0;
    auto curve = [base](double x) {
        return base <= 1.0 ? x : std::log1p((base - 1.0) * x) / std::log(base);
    };
    lut_ = ColorLut::FromCurves(curve, curve, curve);
}

void BrightFilter::Process(EffectImage& image) {
    if (brightness_ > 0) {
        lut_.Apply(image);
    }
}

}  // namespace EM
