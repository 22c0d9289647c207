#pragma once

#include <vector>

#include "FilterBase.h"

namespace EM {

// Slimming, "scale" -1.00..1.00: a smooth horizontal warp of the central band where the face
// sits. Negative values narrow it (about 12 % at -1.00), positive values widen it, 0 is neutral;
// outside the band, and so at the picture's left and right edges, nothing moves.
class ScaleFilter : public FilterBase {
public:
    ScaleFilter() { OnParamsChanged(); }
    void Process(EffectImage& image) override;

private:
    void OnParamsChanged() override;
    void BuildMap(int width);

    double scale_ = 0.0;
    double mapScale_ = 0.0;
    int mapWidth_ = 0;
    int first_ = 0, last_ = 0;       // warped columns [first_, last_)
    std::vector<int> sourceOffset_;  // per warped column: byte offset of the left sample
    std::vector<uint16_t> weight_;   // and the weight of the right one, 0..256
    std::vector<uint8_t> rowCopy_;
};

}  // namespace EM
