#pragma once

#include <array>
#include <optional>
#include <vector>

#include "FilterBase.h"
#include "Resample.h"
#include "SkinSmoothing.h"

namespace EM {

// Skin smoothing, "level" 0..30: the edge-preserving domain-transform recursive filter computed
// at half size on the picture's smooth base, then blended back at full size in proportion to the
// skin weights of the half-size picture (SkinWeights, SkinBlend). 0 is neutral.
// The smoothing's reach, and the share of the picture its base is computed at, are those of the
// 640 x 480 design frame, scaled with the frame's height.
class DomainTransformFilter : public FilterBase {
public:
    DomainTransformFilter() { OnParamsChanged(); }
    void Process(EffectImage& image) override;
    void Prepare(int width, int height) override;

    // One full-size column's enlargement weights: its half-size column's share four times, then
    // the next column's four times.
    struct alignas(16) ColumnTaps {
        int16_t lanes[8];
    };

private:
    static constexpr int kMaxSpread = 3 * 255;  // sum of the absolute differences of B, G, R

    void OnParamsChanged() override;
    // The first iteration's weights and the reach, for the level and the frame height.
    void BuildFeedback();
    bool FindSkin();
    void LoadBox();
    void Smooth();
    void StoreSmoothBase();
    void SumRows(int y, int from, int to);
    void BlendBack(EffectImage& image);

    int level_ = 0;
    std::optional<SkinBlend> blend_;
    SkinWeights skin_;
    // First iteration's weight a^(1 + sigmaSpace / sigmaRange * spread) by spread.
    std::array<int16_t, kMaxSpread + 1> feedback_{};  // in 1/32768

    int reach_ = 0;  // half-size pixels around the skin that still shape its smooth base

    int width_ = 0, height_ = 0, lowWidth_ = 0, lowHeight_ = 0;
    int factor_ = 2;  // full-size pixels per half-size pixel, each way
    struct Box {
        int left = 0, top = 0, right = 0, bottom = 0;
    } box_;  // the part of the half-size picture that is smoothed
    BoxDownsampler downsampler_;
    std::vector<uint8_t> low_;         // half-size BGR
    std::vector<int16_t> planes_;      // B, G, R of the box, levels times 128
    std::vector<int16_t> transposed_;  // one plane, columns as rows
    std::vector<int16_t> weights_;     // this iteration's, in 1/32768: across (transposed), down
    std::vector<int16_t> spreads_;     // one row of the box: across, then down
    std::vector<uint8_t> base_;        // half-size smooth B, G, R and skin weight
    std::vector<std::pair<int, int>> skinSpans_;  // per half-size row: skin columns [first, last)
    std::vector<uint16_t> rowSums_;               // one full-size row of base_, enlarged vertically
    std::vector<int> rowFirst_, rowWeight_;       // per full-size row: first half-size row, weight
    std::vector<int> columnFirst_;                // per full-size column: first half-size column
    std::vector<ColumnTaps> columnTaps_;
};

}  // namespace EM
