#pragma once

#include <array>
#include <optional>
#include <vector>

#include "FilterBase.h"
#include "Resample.h"
#include "SkinSmoothing.h"

namespace EM {

// Skin smoothing, "level" 0..30: the edge-preserving domain-transform recursive filter (three
// iterations) computed at half size on the picture's smooth base, then blended back at full size
// where the picture is skin-coloured (SkinBlend). 0 is neutral.
class DomainTransformFilter : public FilterBase {
public:
    DomainTransformFilter() { OnParamsChanged(); }
    void Process(EffectImage& image) override;

private:
    static constexpr int kMaxSpread = 3 * 255;  // sum of the absolute differences of B, G, R

    void OnParamsChanged() override;
    void Prepare(int width, int height);
    void LoadLowResolution();
    void Smooth();
    void StoreSmoothBase();
    void SumRows(int y);
    void BlendFour(const uint16_t* sums, int x, uint8_t* pixels) const;
    void BlendBack(EffectImage& image);

    int level_ = 0;
    std::optional<SkinBlend> blend_;
    // First iteration's weight a^(1 + sigmaSpace / sigmaRange * spread) by spread.
    std::array<float, kMaxSpread + 1> feedback_{};

    int width_ = 0, height_ = 0, lowWidth_ = 0, lowHeight_ = 0;
    BoxDownsampler downsampler_;
    std::vector<uint8_t> low_;                    // half-size BGR
    std::vector<float> planes_;                   // B, G, R planes of the half-size picture
    std::vector<float> transposed_;               // one plane, columns as rows
    std::vector<float> weights_;  // this iteration's: across (transposed), then down
    std::vector<uint8_t> base_;                   // half-size smooth B, G, R and skin weight
    std::vector<std::pair<int, int>> skinSpans_;  // per half-size row: skin columns [first, last)
    std::vector<uint16_t> rowSums_;  // one full-size row of base_, enlarged vertically
};

}  // namespace EM
