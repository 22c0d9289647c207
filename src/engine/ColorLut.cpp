#include "ColorLut.h"

#include <algorithm>
#include <cmath>

namespace EM {

ColorLut ColorLut::Identity() {
    ColorLut lut;
    for (int v = 0; v < 256; ++v) {
        lut.blue[v] = lut.green[v] = lut.red[v] = static_cast<uint8_t>(v);
    }
    return lut;
}

ColorLut ColorLut::FromCurves(const std::function<double(double)>& blueCurve,
                              const std::function<double(double)>& greenCurve,
                              const std::function<double(double)>& redCurve) {
    auto fill = [](std::array<uint8_t, 256>& table, const std::function<double(double)>& curve) {
        for (int v = 0; v < 256; ++v) {
            const double out = std::clamp(curve(v / 255.0), 0.0, 1.0);
            table[v] = static_cast<uint8_t>(std::lround(out * 255.0));
        }
    };
    ColorLut lut;
    fill(lut.blue, blueCurve);
    fill(lut.green, greenCurve);
    fill(lut.red, redCurve);
    return lut;
}

ColorLut ColorLut::Then(const ColorLut& next) const {
    ColorLut both;
    for (int v = 0; v < 256; ++v) {
        both.blue[v] = next.blue[blue[v]];
        both.green[v] = next.green[green[v]];
        both.red[v] = next.red[red[v]];
    }
    return both;
}

void ColorLut::Apply(EffectImage& image, int rowBegin, int rowEnd) const {
    rowBegin = std::max(rowBegin, 0);
    rowEnd = std::min(rowEnd, image.height);
    for (int y = rowBegin; y < rowEnd; ++y) {
        uint8_t* p = image.Row(y);
        uint8_t* const end = p + static_cast<ptrdiff_t>(image.width) * 3;
        for (; p != end; p += 3) {
            p[0] = blue[p[0]];
            p[1] = green[p[1]];
            p[2] = red[p[2]];
        }
    }
}

}  // namespace EM
