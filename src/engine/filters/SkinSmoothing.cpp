#include "SkinSmoothing.h"

#include <cmath>

namespace EM {

SmoothingStrength SmoothingForLevel(int level) {
    const double t = std::clamp(level, 0, 30) / 30.0;
    return {3.0 + 13.0 * t, 100.0 + 155.0 * t, 0.30 + 0.50 * t};
}

double DomainTransformFeedback(double sigmaSpace, int iteration) {
    const int n = kDomainTransformIterations;
    const double sigma = sigmaSpace * std::sqrt(3.0) * std::pow(2.0, n - (iteration + 1)) /
                         std::sqrt(std::pow(4.0, n) - 1.0);
    return std::exp(-std::sqrt(2.0) / sigma);
}

const SkinTone& SkinTone::Get() {
    static const SkinTone tone;
    return tone;
}

SkinTone::SkinTone() {
    constexpr double kCb = 106.0, kCr = 152.0, kRadiusCb = 22.0, kRadiusCr = 17.0;
    for (int cb = 0; cb < 256; ++cb) {
        for (int cr = 0; cr < 256; ++cr) {
            const double u = (cb - kCb) / kRadiusCb;
            const double v = (cr - kCr) / kRadiusCr;
            const double d = std::sqrt(u * u + v * v);
            // Full weight inside, a smooth fade to none at 1.7 radii.
            const double t = std::clamp((d - 0.9) / 0.8, 0.0, 1.0);
            double weight = 1.0 - t * t * (3.0 - 2.0 * t);
            // A faint tint is not skin; cutting it lets whole stretches of background be skipped.
            weight = weight < 0.15 ? 0.0 : weight;
            chroma_[(cb << 8) | cr] = static_cast<uint8_t>(std::lround(weight * 255.0));
        }
    }
    for (int luma = 0; luma < 256; ++luma) {
        const double t = std::clamp((luma - 30.0) / 40.0, 0.0, 1.0);
        shadow_[luma] = static_cast<uint8_t>(std::lround(t * 255.0));
    }
}

SkinBlend::SkinBlend(const SmoothingStrength& strength) {
    // Full share up to 6 % of the range sigma, none from 22 %.
    none_ = std::clamp(static_cast<int>(std::lround(0.22 * strength.sigmaRange)), 0, 60);
    const double fade = std::max(1.0, 0.16 * strength.sigmaRange);
    // Bounded so that (none - difference) * slope fits a 16-bit lane.
    slope_ = std::clamp(static_cast<int>(std::lround(255.0 / fade)), 1, 100);
    blend_ = static_cast<int>(std::lround(std::clamp(strength.blend, 0.0, 1.0) * 256.0));
}

}  // namespace EM
