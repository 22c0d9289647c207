#pragma once
// The pieces of the skin smoothing that do not depend on how the smooth base is computed, shared
// by the fast filter and by checks that compare it with a plain full-size computation.

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>

namespace EM {

constexpr int kDomainTransformIterations = 3;

struct SmoothingStrength {
    double sigmaSpace = 0;  // pixels of the full-size picture
    double sigmaRange = 0;  // levels of 0..255
    double blend = 0;       // share of the smooth base laid over skin
};

// Strength at "level" 1..30 (level 0 means no smoothing at all).
SmoothingStrength SmoothingForLevel(int level);

// Feedback coefficient of the recursive filter in `iteration` (0-based) of the domain transform:
// each iteration halves the kernel so that the three together give `sigmaSpace`.
double DomainTransformFeedback(double sigmaSpace, int iteration);

// How skin-like a colour is, 0..255: a soft ellipse around skin tones in the CbCr plane, faded
// out in deep shadow.
class SkinTone {
public:
    static const SkinTone& Get();
    uint8_t Weight(int blue, int green, int red) const {
        const int luma = (29 * blue + 150 * green + 77 * red + 128) >> 8;
        const int cb = (128 * blue - 85 * green - 43 * red + 32768 + 128) >> 8;
        const int cr = (-21 * blue - 107 * green + 128 * red + 32768 + 128) >> 8;
        return static_cast<uint8_t>((chroma_[(cb << 8) | cr] * shadow_[luma] + 127) / 255);
    }

private:
    SkinTone();
    std::array<uint8_t, 65536> chroma_{};
    std::array<uint8_t, 256> shadow_{};
};

// Lays the smooth base over a pixel in proportion to its skin weight, backing off where the base
// strays far from the pixel: that is an edge (eye, brow, lip line) whose detail must stay.
class SkinBlend {
public:
    explicit SkinBlend(const SmoothingStrength& strength);
    void Apply(uint8_t* pixel, const uint8_t* smooth, int skin) const {
        const int d0 = smooth[0] - pixel[0];
        const int d1 = smooth[1] - pixel[1];
        const int d2 = smooth[2] - pixel[2];
        const int spread = std::max(std::max(std::abs(d0), std::abs(d1)), std::abs(d2));
        const int gain = gain_[spread] * skin;  // 0..65280
        pixel[0] = static_cast<uint8_t>(pixel[0] + ((d0 * gain + 32768) >> 16));
        pixel[1] = static_cast<uint8_t>(pixel[1] + ((d1 * gain + 32768) >> 16));
        pixel[2] = static_cast<uint8_t>(pixel[2] + ((d2 * gain + 32768) >> 16));
    }

private:
    std::array<uint16_t, 256> gain_{};  // blend share by spread, 0..256
};

}  // namespace EM
