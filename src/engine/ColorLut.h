#pragma once
// Per-channel tone tables applied to BGR pixels in one pass. Filters build them when their
// parameters change; applying them allocates nothing.

#include <array>
#include <cstdint>
#include <functional>

#include "EffectManager.h"

namespace EM {

struct ColorLut {
    std::array<uint8_t, 256> blue{};
    std::array<uint8_t, 256> green{};
    std::array<uint8_t, 256> red{};

    static ColorLut Identity();
    // Fills each table from a curve on [0, 1] -> [0, 1] (clamped, rounded).
    static ColorLut FromCurves(const std::function<double(double)>& blueCurve,
                               const std::function<double(double)>& greenCurve,
                               const std::function<double(double)>& redCurve);

    // This curve followed by `next`, as one.
    ColorLut Then(const ColorLut& next) const;

    // Rows [rowBegin, rowEnd) of the image, in memory order.
    void Apply(EffectImage& image, int rowBegin, int rowEnd) const;
    void Apply(EffectImage& image) const { Apply(image, 0, image.height); }
};

}  // namespace EM
