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
    void Prepare(int width, int height) override;

    // Four warped pixels from one 16-byte stretch of the source row.
    struct Block {
        int offset = 0;         // byte offset of the stretch
        int8_t select[16]{};    // per output byte: its left sample within the stretch
        uint16_t weight[16]{};  // per output byte: weight of the right sample, 0..256
    };

private:
    void OnParamsChanged() override;
    void BuildMap(int width);

    double scale_ = 0.0;
    double mapScale_ = 0.0;
    int mapWidth_ = 0;
    int first_ = 0, last_ = 0;       // warped columns [first_, last_)
    std::vector<int> sourceOffset_;  // per warped column: byte offset of the left sample
    std::vector<uint16_t> weight_;   // and the weight of the right one, 0..256
    std::vector<Block> blocks_;      // the band from its first column, as far as blocks reach
    std::vector<uint8_t> rowCopy_;
};

}  // namespace EM
