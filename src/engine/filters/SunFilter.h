#pragma once

#include <vector>

#include "FilterBase.h"

namespace EM {

// A warm glow of light entering from the upper left ("type" "0"), the upper right ("1") or both
// ("2"), screened over the picture through a light map built for the frame size and type.
class SunFilter : public FilterBase {
public:
    SunFilter() { OnParamsChanged(); }
    void Process(EffectImage& image) override;
    void Prepare(int width, int height) override;

private:
    void OnParamsChanged() override;
    void BuildLightMap(int width, int height);
    void ExpandRow(const uint8_t* map, int first, int last, int width);

    int type_ = 0;
    int mapType_ = -1, mapWidth_ = 0, mapHeight_ = 0;
    int factor_ = 1;                          // frame pixels per map value, each way
    std::vector<uint8_t> light_;              // BGR light per block, frame row order
    std::vector<std::pair<int, int>> spans_;  // per map row: first and past-last lit column
    std::vector<uint8_t> rowLight_;           // one frame row's light, when blocks are larger
};

}  // namespace EM
