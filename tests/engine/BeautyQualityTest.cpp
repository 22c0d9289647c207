// Skin smoothing judged on real portraits with hand-marked regions: skin loses its fine detail,
// hair, eyes and the room behind keep theirs.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "PortraitRegions.h"

namespace {

scenes::Frame Smoothed(const scenes::Frame& input, int level) {
    EM::EffectManager engine;
    engine.AddFilter("TestDomainTransform", "DomainTransformFilter",
                     {{"level", std::to_string(level)}});
    scenes::Frame out(input);
    engine.DoFilter(&out.image);
    return out;
}

constexpr int kCrop = 48, kZoom = 3, kCell = kCrop * kZoom, kGap = 4;

// One row of the crops sheet: the box, enlarged, in each version side by side.
void PasteCrops(scenes::Frame& sheet, int row, const std::vector<scenes::Frame>& versions,
                const scenes::Box& box) {
    const EM::EffectImage& image = versions.front().image;
    const int left = std::clamp((box.x0 + box.x1 - kCrop) / 2, 0, image.width - kCrop);
    const int top = std::clamp((box.y0 + box.y1 - kCrop) / 2, 0, image.height - kCrop);
    for (size_t v = 0; v < versions.size(); ++v) {
        for (int y = 0; y < kCell; ++y) {
            for (int x = 0; x < kCell; ++x) {
                std::memcpy(
                    sheet.At(static_cast<int>(v) * (kCell + kGap) + x, row * (kCell + kGap) + y),
                    versions[v].At(left + x / kZoom, top + y / kZoom), 3);
            }
        }
    }
}

}  // namespace

// Also writes beauty_crops.png into the build folder for a person to look at: for every marked
// portrait the first box of each region, enlarged, as it was, at level 15 and at level 30.
TEST(BeautyQuality, SkinLosesDetailWhileHairEyesAndBackgroundKeepIt) {
    const std::vector<scenes::MarkedPortrait> portraits = scenes::MarkedPortraits();
    int rows = 0;
    for (const scenes::MarkedPortrait& portrait : portraits) {
        rows += static_cast<int>(portrait.regions.size());
    }
    scenes::Frame sheet(3 * (kCell + kGap), rows * (kCell + kGap), 255);
    int row = 0;
    std::printf("%-24s %5s %6s %6s %6s %6s %10s\n", "portrait", "level", "hair", "fur", "cheek",
                "eyes", "background");
    for (const scenes::MarkedPortrait& portrait : portraits) {
        std::vector<scenes::Frame> versions;
        versions.reserve(3);
        versions.push_back(scenes::LoadFrame(portrait.file));
        const scenes::Frame& original = versions.front();
        double cheekAtLevel15 = NAN;
        for (int level : {15, 30}) {
            versions.push_back(Smoothed(original, level));
            const scenes::SmoothingFigures f = scenes::Measure(portrait, original, versions.back());
            std::printf("%-24s %5d %6.2f %6.2f %6.2f %6.2f %10.2f\n", portrait.file.c_str(), level,
                        f.hair, f.fur, f.cheek, f.eyes, f.background);
            const std::string where = portrait.file + " level " + std::to_string(level);
            // NaN (no such region) passes none of these, so each is asked only where marked.
            if (!std::isnan(f.hair)) {
                EXPECT_GE(f.hair, 0.85) << where;
            }
            // Fur the colour of skin and softer than hair is the hardest case to tell apart.
            if (!std::isnan(f.fur)) {
                EXPECT_GE(f.fur, 0.75) << where;
            }
            EXPECT_GE(f.eyes, 0.90) << where;
            EXPECT_LE(f.background, 1.0) << where;
            if (std::isnan(f.cheek)) {
                continue;
            }
            if (level == 15) {
                cheekAtLevel15 = f.cheek;
                EXPECT_LE(f.cheek, 0.80) << where;
            } else {
                EXPECT_LE(f.cheek, 0.60) << where;
                EXPECT_LT(f.cheek, cheekAtLevel15 - 0.05) << where << ": no stronger than 15";
            }
        }
        for (const auto& [kind, boxes] : portrait.regions) {
            PasteCrops(sheet, row++, versions, boxes.front());
        }
    }
    EM::Helper::Hflip(&sheet.image);
    EXPECT_TRUE(
        EM::Helper::Save(&sheet.image, std::string(ZAVREO_BUILD_ROOT) + "/beauty_crops.png"));
}
