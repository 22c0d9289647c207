#pragma once
// Portraits of the test data with hand-marked regions (hair, cheek, eyes, background) stored
// beside them in .regions files, and the figures that say what skin smoothing did to each region.

#include <algorithm>
#include <cmath>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "EngineScenes.h"

namespace scenes {

struct Box {
    int x0 = 0, y0 = 0, x1 = 0, y1 = 0;  // from the top left, right and bottom excluded
};

struct MarkedPortrait {
    std::string file;
    std::map<std::string, std::vector<Box>> regions;  // by kind
};

// Lines "kind x0 y0 x1 y1"; '#' starts a comment line.
inline MarkedPortrait ReadMarkedPortrait(const std::string& file, const std::string& regionsFile) {
    MarkedPortrait portrait{file, {}};
    std::ifstream in(DataPath(regionsFile));
    if (!in) {
        throw std::runtime_error("regions missing: " + regionsFile);
    }
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') {
            continue;
        }
        std::istringstream fields(line);
        std::string kind;
        Box box;
        if (!(fields >> kind >> box.x0 >> box.y0 >> box.x1 >> box.y1)) {
            throw std::runtime_error("bad region line in " + regionsFile + ": " + line);
        }
        portrait.regions[kind].push_back(box);
    }
    return portrait;
}

inline std::vector<MarkedPortrait> MarkedPortraits() {
    return {ReadMarkedPortrait("astronaut_640x480.png", "astronaut_640x480.regions"),
            ReadMarkedPortrait("grace_hopper.jpg", "grace_hopper.regions"),
            ReadMarkedPortrait("chelsea.jpg", "chelsea.regions")};
}

// Luma of a frame, top row first, in double.
class LumaPlane {
public:
    explicit LumaPlane(const Frame& frame)
        : width_(frame.image.width),
          height_(frame.image.height),
          values_(static_cast<size_t>(width_) * height_) {
        for (int y = 0; y < height_; ++y) {
            for (int x = 0; x < width_; ++x) {
                const uint8_t* p = frame.At(x, y);
                values_[static_cast<size_t>(y) * width_ + x] =
                    0.114 * p[0] + 0.587 * p[1] + 0.299 * p[2];
            }
        }
    }
    // Edge pixels repeated.
    double At(int x, int y) const {
        x = std::clamp(x, 0, width_ - 1);
        y = std::clamp(y, 0, height_ - 1);
        return values_[static_cast<size_t>(y) * width_ + x];
    }
    double Gradient(int x, int y) const {
        const double gx = (At(x + 1, y) - At(x - 1, y)) / 2.0;
        const double gy = (At(x, y + 1) - At(x, y - 1)) / 2.0;
        return std::sqrt(gx * gx + gy * gy);
    }
    // Luma minus its 5 x 5 binomial (Gaussian) blur.
    double Detail(int x, int y) const {
        static constexpr double kTaps[5] = {1, 4, 6, 4, 1};
        double blurred = 0;
        for (int dy = -2; dy <= 2; ++dy) {
            for (int dx = -2; dx <= 2; ++dx) {
                blurred += kTaps[dx + 2] * kTaps[dy + 2] * At(x + dx, y + dy);
            }
        }
        return At(x, y) - blurred / 256.0;
    }

private:
    int width_, height_;
    std::vector<double> values_;
};

template <typename PerPixel>
double MeanOver(const std::vector<Box>& boxes, PerPixel perPixel) {
    double sum = 0;
    long count = 0;
    for (const Box& box : boxes) {
        for (int y = box.y0; y < box.y1; ++y) {
            for (int x = box.x0; x < box.x1; ++x) {
                sum += perPixel(x, y);
                ++count;
            }
        }
    }
    return count ? sum / count : NAN;
}

// What smoothing did, region by region (NaN where a portrait marks no such region):
// hair, fur and eyes: mean gradient magnitude after / before; cheek: RMS of the fine detail after
// / before; background: mean absolute change of B, G and R in levels.
struct SmoothingFigures {
    double hair = NAN, fur = NAN, cheek = NAN, eyes = NAN, background = NAN;
};

inline SmoothingFigures Measure(const MarkedPortrait& portrait, const Frame& before,
                                const Frame& after) {
    const LumaPlane a(before), b(after);
    auto region = [&](const char* kind) {
        auto it = portrait.regions.find(kind);
        return it == portrait.regions.end() ? std::vector<Box>{} : it->second;
    };
    auto gradientKept = [&](const char* kind) {
        return MeanOver(region(kind), [&](int x, int y) { return b.Gradient(x, y); }) /
               MeanOver(region(kind), [&](int x, int y) { return a.Gradient(x, y); });
    };
    SmoothingFigures figures;
    figures.hair = gradientKept("hair");
    figures.fur = gradientKept("fur");
    figures.eyes = gradientKept("eyes");
    auto detailEnergy = [&](const LumaPlane& plane) {
        return MeanOver(region("cheek"), [&](int x, int y) {
            const double d = plane.Detail(x, y);
            return d * d;
        });
    };
    figures.cheek = std::sqrt(detailEnergy(b) / detailEnergy(a));
    figures.background = MeanOver(region("background"), [&](int x, int y) {
        const uint8_t* p = before.At(x, y);
        const uint8_t* q = after.At(x, y);
        return (std::abs(p[0] - q[0]) + std::abs(p[1] - q[1]) + std::abs(p[2] - q[2])) / 3.0;
    });
    return figures;
}

}  // namespace scenes
