#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "EngineScenes.h"
#include "SkinSmoothing.h"

namespace {

// The domain-transform recursive filter of Gastal and Oliveira done plainly at full size in
// double precision: the yardstick for the fast half-size filter.
std::vector<double> PlainDomainTransform(const scenes::Frame& frame, double sigmaSpace,
                                         double sigmaRange) {
    const int w = frame.image.width, h = frame.image.height;
    std::vector<double> out(frame.bytes.begin(), frame.bytes.end());
    auto at = [&](int x, int y, int c) -> double& { return out[(y * w + x) * 3 + c]; };
    auto spread = [&](int x0, int y0, int x1, int y1) {
        const uint8_t* a = frame.image.Row(y0) + x0 * 3;
        const uint8_t* b = frame.image.Row(y1) + x1 * 3;
        return 1.0 + sigmaSpace / sigmaRange *
                         (std::abs(a[0] - b[0]) + std::abs(a[1] - b[1]) + std::abs(a[2] - b[2]));
    };
    for (int it = 0; it < EM::kDomainTransformIterations; ++it) {
        const double a = EM::DomainTransformFeedback(sigmaSpace, it);
        for (int y = 0; y < h; ++y) {
            for (int x = 1; x < w; ++x) {
                const double k = std::pow(a, spread(x, y, x - 1, y));
                for (int c = 0; c < 3; ++c) {
                    at(x, y, c) += k * (at(x - 1, y, c) - at(x, y, c));
                }
            }
            for (int x = w - 2; x >= 0; --x) {
                const double k = std::pow(a, spread(x + 1, y, x, y));
                for (int c = 0; c < 3; ++c) {
                    at(x, y, c) += k * (at(x + 1, y, c) - at(x, y, c));
                }
            }
        }
        for (int x = 0; x < w; ++x) {
            for (int y = 1; y < h; ++y) {
                const double k = std::pow(a, spread(x, y, x, y - 1));
                for (int c = 0; c < 3; ++c) {
                    at(x, y, c) += k * (at(x, y - 1, c) - at(x, y, c));
                }
            }
            for (int y = h - 2; y >= 0; --y) {
                const double k = std::pow(a, spread(x, y + 1, x, y));
                for (int c = 0; c < 3; ++c) {
                    at(x, y, c) += k * (at(x, y + 1, c) - at(x, y, c));
                }
            }
        }
    }
    return out;
}

// Skin weights at full size: those of the half-size picture (2 x 2 means), enlarged with the
// usual 3:1 taps of a 2x bilinear enlargement.
std::vector<int> FullSizeSkinWeights(const scenes::Frame& input) {
    const int w = input.image.width, h = input.image.height;
    const int lw = (w + 1) / 2, lh = (h + 1) / 2;
    std::vector<uint8_t> low(static_cast<size_t>(lw) * lh * 3);
    for (int y = 0; y < lh; ++y) {
        for (int x = 0; x < lw; ++x) {
            for (int c = 0; c < 3; ++c) {
                int sum = 0;
                for (int dy = 0; dy < 2; ++dy) {
                    for (int dx = 0; dx < 2; ++dx) {
                        sum += input.image.Row(
                            std::min(2 * y + dy, h - 1))[std::min(2 * x + dx, w - 1) * 3 + c];
                    }
                }
                low[(static_cast<size_t>(y) * lw + x) * 3 + c] =
                    static_cast<uint8_t>((sum + 2) / 4);
            }
        }
    }
    EM::SkinWeights skin;
    skin.Compute(low.data(), lw, lh);
    auto at = [&](int x, int y) {
        return skin.Weights()[static_cast<size_t>(std::clamp(y, 0, lh - 1)) * lw +
                              std::clamp(x, 0, lw - 1)];
    };
    std::vector<int> weights(static_cast<size_t>(w) * h);
    for (int y = 0; y < h; ++y) {
        const int ny = y / 2, oy = y % 2 ? ny + 1 : ny - 1;
        for (int x = 0; x < w; ++x) {
            const int nx = x / 2, ox = x % 2 ? nx + 1 : nx - 1;
            const int nearRow = 3 * at(nx, ny) + at(nx, oy);
            const int otherRow = 3 * at(ox, ny) + at(ox, oy);
            weights[static_cast<size_t>(y) * w + x] = (3 * nearRow + otherRow + 8) >> 4;
        }
    }
    return weights;
}

// The whole skin smoothing with the plain filter as its smooth base.
scenes::Frame PlainSkinSmoothing(const scenes::Frame& input, int level) {
    const EM::SmoothingStrength strength = EM::SmoothingForLevel(level);
    const std::vector<double> smooth =
        PlainDomainTransform(input, strength.sigmaSpace, strength.sigmaRange);
    const std::vector<int> skin = FullSizeSkinWeights(input);
    const EM::SkinBlend blend(strength);
    scenes::Frame out(input);
    for (size_t i = 0; i < out.bytes.size(); i += 3) {
        uint8_t base[3];
        for (int c = 0; c < 3; ++c) {
            base[c] = static_cast<uint8_t>(std::clamp(std::lround(smooth[i + c]), 0L, 255L));
        }
        blend.Apply(out.bytes.data() + i, base, skin[i / 3]);
    }
    return out;
}

double SquaredError(const scenes::Frame& a, const scenes::Frame& b) {
    double sum = 0;
    for (size_t i = 0; i < a.bytes.size(); ++i) {
        const double d = static_cast<double>(a.bytes[i]) - b.bytes[i];
        sum += d * d;
    }
    return sum;
}

scenes::Frame Smoothed(const scenes::Frame& input, const std::string& level) {
    EM::EffectManager engine;
    engine.AddFilter("TestDomainTransform", "DomainTransformFilter", {{"level", level}});
    scenes::Frame out(input);
    engine.DoFilter(&out.image);
    return out;
}

}  // namespace

TEST(DomainTransformFilter, StaysCloseToThePlainFullSizeFilter) {
    const scenes::Frame portrait = scenes::Portrait();
    for (int level : {30, 15, 3}) {
        const scenes::Frame reference = PlainSkinSmoothing(portrait, level);
        const scenes::Frame fast = Smoothed(portrait, std::to_string(level));
        // Pixel by pixel: the half-size base differs from the full-size one only by a few
        // levels, a little more along the sharpest edges. Half a low row out of place is 30.
        int worst = 0, off = 0;
        for (size_t i = 0; i < fast.bytes.size(); ++i) {
            const int difference = std::abs(fast.bytes[i] - reference.bytes[i]);
            worst = std::max(worst, difference);
            off += difference > 4;
        }
        EXPECT_LE(worst, 14) << "level " << level;
        EXPECT_LT(off, static_cast<int>(fast.bytes.size() / 2000)) << "level " << level;
        // And it does the smoothing rather than leaving the picture alone: most of what the
        // plain filter changes, the fast one changes the same way (at the lowest levels the
        // change is too small to tell from rounding).
        if (level >= 15) {
            EXPECT_LT(SquaredError(fast, reference), 0.35 * SquaredError(portrait, reference))
                << "level " << level;
        }
    }
}

TEST(DomainTransformFilter, SmoothsSkinAndLeavesOtherColoursAlone) {
    scenes::Frame frame(160, 120);
    std::mt19937 random(7);
    std::uniform_int_distribution<int> noise(-10, 10);
    const uint8_t skin[3] = {140, 170, 225}, sky[3] = {200, 120, 40};
    for (int y = 0; y < 120; ++y) {
        for (int x = 0; x < 160; ++x) {
            const uint8_t* colour = x < 80 ? skin : sky;
            for (int c = 0; c < 3; ++c) {
                frame.At(x, y)[c] = static_cast<uint8_t>(colour[c] + noise(random));
            }
        }
    }
    const scenes::Frame out = Smoothed(frame, "30");
    auto deviation = [](const scenes::Frame& f, int x0, int x1) {
        double sum = 0, sumSquares = 0;
        int n = 0;
        for (int y = 10; y < 110; ++y) {
            for (int x = x0; x < x1; ++x) {
                const double v = f.image.Row(y)[x * 3 + 1];
                sum += v;
                sumSquares += v * v;
                ++n;
            }
        }
        return std::sqrt(sumSquares / n - (sum / n) * (sum / n));
    };
    EXPECT_LT(deviation(out, 10, 70), 0.5 * deviation(frame, 10, 70));
    for (int y = 0; y < 120; ++y) {
        for (int x = 100; x < 160; ++x) {
            ASSERT_EQ(0, std::memcmp(out.At(x, y), frame.At(x, y), 3)) << x << "," << y;
        }
    }
}
