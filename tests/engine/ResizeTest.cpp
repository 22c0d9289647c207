// The bilinear scale against a direct evaluation of its formula, over shapes that stress the
// row reuse (up, down, odd sizes, padded strides, one-pixel images, a region of a larger image).

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "EffectManager.h"
#include "Resample.h"

using EM::EffectImage;

namespace {

struct Image {
    std::vector<uint8_t> pixels;
    EffectImage view;
    Image(int width, int height, int padding, unsigned seed) {
        const int stride = width * 3 + padding;
        pixels.resize(static_cast<size_t>(stride) * height);
        std::mt19937 random(seed);
        for (auto& p : pixels)
            p = static_cast<uint8_t>(random());
        view.pixels = pixels.data();
        view.width = width;
        view.height = height;
        view.stride = stride;
    }
};

// Position of destination `d` in the source: index and weight in 1/256.
std::pair<int, int> Sample(int src, int dst, int d) {
    double pos = std::clamp((d + 0.5) * static_cast<double>(src) / dst - 0.5, 0.0, src - 1.0);
    const int base = std::min(static_cast<int>(pos), src - 1);
    return {base, base + 1 < src ? static_cast<int>((pos - base) * 256.0 + 0.5) : 0};
}

uint8_t Expected(const EffectImage& src, int dw, int dh, int x, int y, int c) {
    const auto [sx, wx] = Sample(src.width, dw, x);
    const auto [sy, wy] = Sample(src.height, dh, y);
    const int nx = wx ? sx + 1 : sx, ny = wy ? sy + 1 : sy;
    auto at = [&](int px, int py) { return src.pixels[py * src.stride + px * 3 + c]; };
    const int top = at(sx, sy) * (256 - wx) + at(nx, sy) * wx;
    const int bottom = at(sx, ny) * (256 - wx) + at(nx, ny) * wx;
    return static_cast<uint8_t>((top * (256 - wy) + bottom * wy + 32768) >> 16);
}

}  // namespace

TEST(Resize, MatchesTheBilinearFormulaExactly) {
    const int shapes[][4] = {{1280, 720, 640, 480}, {320, 240, 640, 480},  {641, 479, 640, 480},
                             {7, 5, 640, 480},      {1, 1, 3, 2},          {640, 480, 1, 1},
                             {33, 1, 7, 9},         {1920, 1080, 640, 480}};
    unsigned seed = 1;
    for (const auto& s : shapes) {
        Image src(s[0], s[1], (s[0] % 4) + 1, seed++);
        Image dst(s[2], s[3], 2, seed++);
        ASSERT_TRUE(EM::Helper::Resize(&src.view, &dst.view));
        int mismatches = 0;
        for (int y = 0; y < s[3]; ++y) {
            for (int x = 0; x < s[2]; ++x) {
                for (int c = 0; c < 3; ++c) {
                    mismatches += dst.pixels[y * dst.view.stride + x * 3 + c] !=
                                  Expected(src.view, s[2], s[3], x, y, c);
                }
            }
        }
        EXPECT_EQ(mismatches, 0) << s[0] << "x" << s[1] << " -> " << s[2] << "x" << s[3];
    }
}

TEST(Resize, RepeatedAndInterleavedScalesGiveTheSameResult) {
    Image a(1280, 720, 0, 7), b(320, 240, 0, 8);
    Image first(640, 480, 0, 9), again(640, 480, 0, 10), other(640, 480, 0, 11);
    ASSERT_TRUE(EM::Helper::Resize(&a.view, &first.view));
    ASSERT_TRUE(EM::Helper::Resize(&b.view, &other.view));
    ASSERT_TRUE(EM::Helper::Resize(&a.view, &again.view));
    EXPECT_EQ(first.pixels, again.pixels);
}

// Reduction by each factor the filters use: every output byte the rounded mean of its block, edge
// pixels repeated into partial blocks, on widths around the vector steps and padded rows.
TEST(Resize, BoxReductionGivesTheRoundedMeanOfEachBlock) {
    EM::BoxDownsampler downsampler;
    for (int factor : {2, 3, 4, 6}) {
        for (auto [width, height] :
             {std::pair{640, 480}, {37, 5}, {9, 3}, {10, 4}, {1, 1}, {3, 2}}) {
            const Image image(width, height, 7, static_cast<unsigned>(width * 31 + height));
            const int lowWidth = EM::ReducedSize(width, factor);
            const int lowHeight = EM::ReducedSize(height, factor);
            std::vector<uint8_t> low(static_cast<size_t>(lowWidth) * 3 * lowHeight);
            downsampler.Run(image.view, factor, low.data(), lowWidth * 3);
            for (int ly = 0; ly < lowHeight; ++ly) {
                for (int lx = 0; lx < lowWidth; ++lx) {
                    for (int c = 0; c < 3; ++c) {
                        int sum = 0;
                        for (int dy = 0; dy < factor; ++dy) {
                            for (int dx = 0; dx < factor; ++dx) {
                                const int x = std::min(lx * factor + dx, width - 1);
                                const int y = std::min(ly * factor + dy, height - 1);
                                sum += image.view.Row(y)[x * 3 + c];
                            }
                        }
                        const int blocks = factor * factor;
                        ASSERT_EQ(low[(static_cast<size_t>(ly) * lowWidth + lx) * 3 + c],
                                  (sum + blocks / 2) / blocks)
                            << "factor " << factor << ", " << width << " x " << height << " at "
                            << lx << "," << ly << "," << c;
                    }
                }
            }
        }
    }
}
