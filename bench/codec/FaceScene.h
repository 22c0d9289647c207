#pragma once
// What a webcam shows a broadcaster's audience: a textured wall, and in front of it a head and
// shoulders that sway, nod and talk, with a little sensor noise. Picture `k` of a 10 fps
// sequence, deterministic, 640 x 480 BGR stored bottom row first like the shared frame.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "SharedFrame.h"

namespace face_scene {

inline uint32_t Hash(uint32_t x) {
    x ^= x >> 16;
    x *= 0x7feb352dU;
    x ^= x >> 15;
    x *= 0x846ca68bU;
    x ^= x >> 16;
    return x;
}

// Draws picture `k` into `frame` (zavreo::kFrameBytes).
inline void Draw(int k, uint8_t* frame) {
    constexpr int kWidth = zavreo::kFrameWidth, kHeight = zavreo::kFrameHeight;
    const double t = k / 10.0;
    const double headX = 320 + 55 * std::sin(2 * M_PI * t / 4.0);
    const double headY = 200 + 12 * std::sin(2 * M_PI * t / 2.7);
    const double mouth = 4 + 9 * std::fabs(std::sin(2 * M_PI * t / 0.7));
    constexpr double kHeadRx = 85, kHeadRy = 115;
    for (int y = 0; y < kHeight; ++y) {
        uint8_t* row =
            frame + static_cast<size_t>(kHeight - 1 - y) * zavreo::kFrameStride;  // top row last
        for (int x = 0; x < kWidth; ++x) {
            // Wallpaper: a soft vertical gradient with a fixed woven pattern.
            double b = 150 - y * 0.12 + ((x / 6 + y / 6) % 2) * 6 + (Hash(x / 3 * 977 + y / 3) & 7);
            double g = b - 12, r = b - 30;
            const double dx = (x - headX) / kHeadRx, dy = (y - headY) / kHeadRy;
            const double head = dx * dx + dy * dy;
            // Shoulders: a dark jumper below the head that moves with it.
            if (y > headY + 95 && std::fabs(x - headX) < 60 + (y - headY - 95) * 1.6) {
                const double weave = (Hash((x - static_cast<int>(headX)) * 131 + y) & 15);
                b = 90 + weave, g = 60 + weave, r = 50 + weave;
            }
            if (head < 1) {
                // Skin with freckle texture fixed to the face, shaded towards the edge.
                const int fx = x - static_cast<int>(headX), fy = y - static_cast<int>(headY);
                const double shade = 1 - 0.35 * head;
                const double freckle = (Hash(fx * 7919 + fy * 104729 + 5) & 15);
                b = (120 + freckle) * shade, g = (150 + freckle) * shade,
                r = (205 + freckle) * shade;
                const auto eye = [&](double ex) {
                    const double ux = (fx - ex) / 14.0, uy = (fy + 25) / 8.0;
                    return ux * ux + uy * uy < 1;
                };
                const double my = (fy - 50) / mouth, mx = fx / 28.0;
                if (eye(-32) || eye(32)) {
                    b = 40, g = 35, r = 30;
                } else if (mx * mx + my * my < 1) {
                    b = 40, g = 30, r = 110;
                }
            }
            const int noise =
                static_cast<int>(Hash(static_cast<uint32_t>(k) * 307200 + y * kWidth + x) % 5) - 2;
            row[x * 3] = static_cast<uint8_t>(std::clamp(b + noise, 0.0, 255.0));
            row[x * 3 + 1] = static_cast<uint8_t>(std::clamp(g + noise, 0.0, 255.0));
            row[x * 3 + 2] = static_cast<uint8_t>(std::clamp(r + noise, 0.0, 255.0));
        }
    }
}

}  // namespace face_scene
