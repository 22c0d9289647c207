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

    int type_ = 0;
    int mapType_ = -1, mapWidth_ = 0, mapHeight_ = 0;
    std::vector<uint8_t> light_;              // BGR light per pixel, frame row order
    std::vector<std::pair<int, int>> spans_;  // per row: first and past-last lit column
};

}  // namespace EM
