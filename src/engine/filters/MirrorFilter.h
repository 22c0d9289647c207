#pragma once

#include <vector>

#include "FilterBase.h"

namespace EM {

// "hflip": left and right swapped; "vflip": upside down; "dside": the left half of the picture
// mirrored onto the right half. Each is "true" or anything else (off).
class MirrorFilter : public FilterBase {
public:
    void Process(EffectImage& image) override;
    void Prepare(int width, int height) override;

private:
    void OnParamsChanged() override;

    bool doubleSide_ = false;
    bool horizontal_ = false;
    bool vertical_ = false;
    std::vector<uint8_t> rowScratch_;  // one row; sized for the widest frame
};

}  // namespace EM
