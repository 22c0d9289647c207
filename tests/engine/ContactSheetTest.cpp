// The portrait through every filter and the full chain: each effect must change the picture where
// it acts and leave it alone where it does not. The tiles are also written to effects.png (and
// the face at full size to effects_face.png) in the build folder for a person to look at.

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "EngineScenes.h"
#include "PortraitRegions.h"

namespace {

using scenes::Box;

struct Tile {
    const char* label;
    std::vector<std::tuple<std::string, EM::ParamMap>> filters;
    std::vector<Box> acts;   // most pixels of each box change
    std::vector<Box> keeps;  // no pixel of these changes
    bool face = false;       // shown at full size too
};

scenes::Frame RunTile(const Tile& tile, const scenes::Frame& portrait, bool fullChain) {
    EM::EffectManager engine;
    if (fullChain) {
        scenes::AddFullChain(engine);
    }
    int n = 0;
    for (const auto& [type, params] : tile.filters) {
        EXPECT_TRUE(engine.AddFilter("f" + std::to_string(n++), type, params)) << type;
    }
    // A second frame a second later, so scrolling and animations have moved.
    scenes::Frame frame(portrait);
    frame.image.timeMs = 1000;
    engine.DoFilter(&frame.image);
    scenes::Frame later(portrait);
    later.image.timeMs = 2300;
    engine.DoFilter(&later.image);
    return later;
}

// Share of the pixels of a box that differ between two frames.
double ChangedShare(const scenes::Frame& a, const scenes::Frame& b, const Box& box) {
    int changed = 0;
    for (int y = box.y0; y < box.y1; ++y) {
        for (int x = box.x0; x < box.x1; ++x) {
            changed += std::memcmp(a.At(x, y), b.At(x, y), 3) != 0;
        }
    }
    return static_cast<double>(changed) / ((box.x1 - box.x0) * (box.y1 - box.y0));
}

void Save(scenes::Frame& sheet, const char* name) {
    // Files are written top row first.
    EM::Helper::Hflip(&sheet.image);
    EXPECT_TRUE(EM::Helper::Save(&sheet.image, std::string(ZAVREO_BUILD_ROOT) + "/" + name));
}

}  // namespace

TEST(ContactSheet, EveryKindOfEffectActsWhereItShouldAndNowhereElse) {
    const scenes::Frame portrait = scenes::Portrait();
    const auto regions =
        scenes::ReadMarkedPortrait("astronaut_640x480.png", "astronaut_640x480.regions").regions;
    const std::vector<Box>& cheeks = regions.at("cheek");
    const std::vector<Box> wall = {{180, 0, 220, 133}, {367, 17, 413, 117}};
    // The picture fills the middle 480 columns, between black side bars.
    const Box picture{80, 0, 560, 480}, topLeft{0, 0, 120, 90}, topRight{520, 0, 640, 90};
    const Box bottomLeft{0, 400, 80, 480}, bottomRight{560, 400, 640, 480};
    // The warp reaches 0.36 of the width either side of the centre.
    const std::vector<Box> warped = {{150, 0, 290, 480}, {350, 0, 490, 480}};
    const std::vector<Box> unwarped = {{0, 0, 88, 480}, {553, 0, 640, 480}};
    const std::vector<Tile> tiles = {
        {"original", {}, {}, {picture}, true},
        {"MirrorFilter hflip", {{"MirrorFilter", {{"hflip", "true"}}}}, {{80, 0, 560, 480}}, {}},
        {"BrightFilter 80", {{"BrightFilter", {{"brightness", "80"}}}}, {picture}, {}},
        {"ScaleFilter -1.00", {{"ScaleFilter", {{"scale", "-1.00"}}}}, warped, unwarped, true},
        {"ScaleFilter 1.00", {{"ScaleFilter", {{"scale", "1.00"}}}}, warped, unwarped, true},
        {"DomainTransform 30", {{"DomainTransformFilter", {{"level", "30"}}}}, cheeks, wall, true},
        {"DomainTransform 15", {{"DomainTransformFilter", {{"level", "15"}}}}, cheeks, wall, true},
        {"WhiterFilter", {{"WhiterFilter", {}}}, {picture}, {}},
        {"SweetFilter", {{"SweetFilter", {}}}, {picture}, {}},
        {"SunFilter 0", {{"SunFilter", {{"type", "0"}}}}, {topLeft}, {bottomRight}},
        {"SunFilter 1", {{"SunFilter", {{"type", "1"}}}}, {topRight}, {bottomLeft}},
        {"SunFilter 2", {{"SunFilter", {{"type", "2"}}}}, {topLeft, topRight}, {}},
        {"MovieFilter", {{"MovieFilter", {}}}, {{0, 0, 640, 60}, {0, 60, 640, 420}}, {}},
        {"TextFilter",
         {{"TextFilter", scenes::Subtitle()}},
         {{0, 455, 640, 480}},
         {{0, 0, 640, 400}}},
        {"OverlayFilter",
         {{"OverlayFilter", scenes::Sticker(0, "500", "500")}},
         {{300, 220, 340, 260}},
         {{0, 0, 640, 170}, {0, 310, 640, 480}, {0, 0, 250, 480}, {390, 0, 640, 480}}},
        {"full chain", {}, {picture}, {}},
    };
    constexpr int kColumns = 4, kTileWidth = 320, kTileHeight = 240;
    constexpr int kFaceLeft = 200, kFaceTop = 20, kFaceSize = 200;
    const int rows = (static_cast<int>(tiles.size()) + kColumns - 1) / kColumns;
    scenes::Frame sheet(kColumns * kTileWidth, rows * kTileHeight, 40);
    const auto faceTiles =
        std::count_if(tiles.begin(), tiles.end(), [](const Tile& t) { return t.face; });
    scenes::Frame faces(kFaceSize * static_cast<int>(faceTiles), kFaceSize);
    scenes::Frame tile(kTileWidth, kTileHeight);
    int faceCount = 0;
    std::set<std::string> shown;
    for (size_t i = 0; i < tiles.size(); ++i) {
        for (const auto& filter : tiles[i].filters) {
            shown.insert(std::get<0>(filter));
        }
        scenes::Frame out = RunTile(tiles[i], portrait, i + 1 == tiles.size());
        for (const Box& box : tiles[i].acts) {
            EXPECT_GT(ChangedShare(portrait, out, box), 0.5)
                << tiles[i].label << " acts on " << box.x0 << "," << box.y0;
        }
        for (const Box& box : tiles[i].keeps) {
            EXPECT_EQ(ChangedShare(portrait, out, box), 0.0)
                << tiles[i].label << " keeps " << box.x0 << "," << box.y0;
        }
        if (tiles[i].face) {
            for (int y = 0; y < kFaceSize; ++y) {
                std::memcpy(faces.At(faceCount * kFaceSize, y), out.At(kFaceLeft, kFaceTop + y),
                            kFaceSize * 3);
            }
            ++faceCount;
        }
        EM::Helper::Resize(&out.image, &tile.image);
        EM::EffectManager label;
        label.AddFilter("label", "TextFilter",
                        {{"text", tiles[i].label},
                         {"font_size", "18"},
                         {"pos_y", "0"},
                         {"speed", "0"},
                         {"color", "00FFFFFF"},
                         {"back_color", "000000B0"}});
        label.DoFilter(&tile.image);
        // Both are bottom row first; tile rows go to the sheet's rows as seen.
        const int column = static_cast<int>(i) % kColumns, row = static_cast<int>(i) / kColumns;
        for (int y = 0; y < kTileHeight; ++y) {
            std::memcpy(sheet.At(column * kTileWidth, row * kTileHeight + y), tile.At(0, y),
                        kTileWidth * 3);
        }
    }
    const std::vector<std::string> types = EM::EffectManager::FilterTypes();
    EXPECT_EQ(shown, std::set<std::string>(types.begin(), types.end())) << "every type has a tile";
    Save(sheet, "effects.png");
    Save(faces, "effects_face.png");
}
