#include "SweetFilter.h"

#include <cmath>

namespace EM {
namespace {

// Lifted blacks and lowered whites give the faded look.
double Fade(double x, double floor, double ceiling) {
    return floor + x * (ceiling - floor);
}

}  // namespace

SweetFilter::SweetFilter() {
    lut_ = ColorLut::FromCurves([](double x) { return Fade(std::pow(x, 0.95), 0.10, 0.96); },
                                [](double x) { return Fade(std::pow(x, 1.04), 0.06, 0.95); },
                                [](double x) { return Fade(std::pow(x, 0.80), 0.10, 1.0); });
}

}  // namespace EM
