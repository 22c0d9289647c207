#pragma once
// Reduction of a frame to a low-resolution working copy, for filters that compute a smooth base
// at reduced size. The scratch buffer is sized on the first frame and reused after that.

#include <cstdint>
#include <vector>

#include "EffectManager.h"

namespace EM {

// Size of a side after reduction by `factor`; a partial block at the edge counts as one.
inline int ReducedSize(int size, int factor) {
    return (size + factor - 1) / factor;
}

// Averages factor x factor blocks of a BGR image (edge pixels repeated to fill partial blocks).
class BoxDownsampler {
public:
    // `factor` is 1 to 8; `out` holds ReducedSize rows of ReducedSize(width) BGR pixels.
    void Run(const EffectImage& image, int factor, uint8_t* out, int outStride);
    // Sizes the scratch for images `width` wide ahead of the first.
    void Prepare(int width, int factor);

private:
    std::vector<uint16_t> columnSums_;
    std::vector<uint16_t> blockSums_;
    std::vector<uint8_t> blockMeans_;
};

}  // namespace EM
