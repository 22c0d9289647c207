#include "MovieFilter.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace EM {
namespace {

// Steeper in the midtones, flatter at both ends.
double Contrast(double x) {
    return x - 0.15 * std::sin(2.0 * M_PI * x) / (2.0 * M_PI);
}

}  // namespace

MovieFilter::MovieFilter() {
    // Smooth S-curve; blue lifted in the shadows, red lifted in the highlights.
    lut_ = ColorLut::FromCurves([](double x) { return Contrast(x) + 0.04 * (1.0 - x) * (1.0 - x); },
                                [](double x) { return Contrast(x); },
                                [](double x) { return Contrast(x) * 0.97 + 0.05 * x * x; });
}

void MovieFilter::Process(EffectImage& image) {
    const int visible =
        std::min(image.height, static_cast<int>((static_cast<int64_t>(image.width) * 9 + 8) / 16));
    const int below = (image.height - visible) / 2;
    const int above = image.height - visible - below;
    const size_t rowBytes = static_cast<size_t>(image.width) * 3;
    // Rows are stored bottom first: the first `below` rows are the bottom bar.
    for (int y = 0; y < below; ++y) {
        std::memset(image.Row(y), 0, rowBytes);
    }
    for (int y = image.height - above; y < image.height; ++y) {
        std::memset(image.Row(y), 0, rowBytes);
    }
    lut_.Apply(image, below, below + visible);
}

}  // namespace EM
