#pragma once

#include <cstdint>
#include <cstring>

#include "EffectManager.h"

namespace EM {

// Turns the image upside down, one row at a time through `scratchRow` (width * 3 bytes).
inline void ReverseRowOrder(EffectImage& image, uint8_t* scratchRow) {
    const size_t rowBytes = static_cast<size_t>(image.width) * 3;
    for (int top = 0, bottom = image.height - 1; top < bottom; ++top, --bottom) {
        std::memcpy(scratchRow, image.Row(top), rowBytes);
        std::memcpy(image.Row(top), image.Row(bottom), rowBytes);
        std::memcpy(image.Row(bottom), scratchRow, rowBytes);
    }
}

}  // namespace EM
