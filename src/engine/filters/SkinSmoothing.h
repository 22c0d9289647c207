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

// Lays the smooth base over a pixel in proportion to its skin weight, backing off channel by
// channel where the base strays far from the pixel: that is an edge (eye, brow, lip line) whose
// detail must stay. Integer arithmetic that fits 16-bit lanes, so vector code can match it bit
// for bit.
class SkinBlend {
public:
    explicit SkinBlend(const SmoothingStrength& strength);
    uint8_t Channel(int value, int smooth, int skin) const {
        const int d = smooth - value;
        const int keep = std::clamp((none_ - std::abs(d)) * slope_, 0, 255);
        const int share = ((keep * blend_) >> 8) * skin >> 9;  // 0..127
        return static_cast<uint8_t>(std::clamp(value + ((d * share + 64) >> 7), 0, 255));
    }
    void Apply(uint8_t* pixel, const uint8_t* smooth, int skin) const {
        for (int c = 0; c < 3; ++c) {
            pixel[c] = Channel(pixel[c], smooth[c], skin);
        }
    }
    int None() const { return none_; }    // differences from here on keep the pixel
    int Slope() const { return slope_; }  // of the fade below None(), 255 = fully smoothed
    int Blend() const { return blend_; }  // 0..256

private:
    int none_ = 0, slope_ = 1, blend_ = 0;
};

}  // namespace EM
