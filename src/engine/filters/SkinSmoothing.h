#pragma once
// The pieces of the skin smoothing that do not depend on how the smooth base is computed, shared
// by the fast filter and by checks that compare it with a plain full-size computation.

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace EM {

// Two suffice for the small spatial sigma used on skin; each more costs a fifth of the filter.
constexpr int kDomainTransformIterations = 2;

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

// How much of a reduced picture is skin, 0..255 per pixel, from two cues:
// - colour: an ellipse in the CbCr plane laid along the line that skin tones from pale to ruddy
//   follow, narrow across it, so beige walls, wood and most hair fall outside; deep shadow fades.
//   It is blurred twice over 5 x 5, so the weight has no hard edges for the eye to find;
// - texture: hair (and fur) is dense fine texture, skin even at its most wrinkled is much calmer,
//   so the mean deviation of luma from its 3 x 3 mean, taken over 7 x 7, turns the weight down.
// Runs on the half-size picture, where camera noise no longer reads as texture.
class SkinWeights {
public:
    // `bgr`: `height` packed rows of `width` pixels. Sizes buffers on the first call and
    // whenever the size changes.
    void Compute(const uint8_t* bgr, int width, int height);
    // Sizes the buffers for pictures of this size ahead of the first.
    void Prepare(int width, int height);
    const uint8_t* Weights() const { return weights_.data(); }
    // The picture's blue, green and red as planes, filled by Compute.
    const uint8_t* Plane(int channel) const {
        return planes_.data() + static_cast<size_t>(channel) * width_ * height_;
    }
    // The colour cue alone for one pixel, 0..255.
    static int ColourWeight(int blue, int green, int red);

private:
    // out = sum over the (2 radius + 1)^2 box around each pixel, edge pixels repeated.
    void BoxSum(const uint16_t* in, uint16_t* out, int radius);

    int width_ = 0, height_ = 0;
    std::vector<uint8_t> planes_;  // B, G, R
    std::vector<uint16_t> colour_, luma_, sums_, detail_, line_;
    std::vector<uint8_t> weights_;
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
