// Writes effects.png into the build folder: the portrait through every filter and the full chain,
// for a person to look at. Checks only that the sheet was written.

#include <gtest/gtest.h>

#include <filesystem>

#include "EngineScenes.h"

namespace {

struct Tile {
    const char* label;
    std::vector<std::tuple<std::string, EM::ParamMap>> filters;
};

scenes::Frame RunTile(const Tile& tile, const scenes::Frame& portrait, bool fullChain) {
    EM::EffectManager engine;
    if (fullChain) {
        scenes::AddFullChain(engine);
    }
    int n = 0;
    for (const auto& [type, params] : tile.filters) {
        engine.AddFilter("f" + std::to_string(n++), type, params);
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

}  // namespace

TEST(ContactSheet, ShowsEveryEffectOnThePortrait) {
    const scenes::Frame portrait = scenes::Portrait();
    const std::vector<Tile> tiles = {
        {"original", {}},
        {"MirrorFilter hflip", {{"MirrorFilter", {{"hflip", "true"}}}}},
        {"BrightFilter 80", {{"BrightFilter", {{"brightness", "80"}}}}},
        {"ScaleFilter -1.00", {{"ScaleFilter", {{"scale", "-1.00"}}}}},
        {"ScaleFilter 1.00", {{"ScaleFilter", {{"scale", "1.00"}}}}},
        {"DomainTransform 30", {{"DomainTransformFilter", {{"level", "30"}}}}},
        {"WhiterFilter", {{"WhiterFilter", {}}}},
        {"SweetFilter", {{"SweetFilter", {}}}},
        {"SunFilter 0", {{"SunFilter", {{"type", "0"}}}}},
        {"SunFilter 1", {{"SunFilter", {{"type", "1"}}}}},
        {"SunFilter 2", {{"SunFilter", {{"type", "2"}}}}},
        {"MovieFilter", {{"MovieFilter", {}}}},
        {"TextFilter", {{"TextFilter", scenes::Subtitle()}}},
        {"OverlayFilter", {{"OverlayFilter", scenes::Sticker(0, "500", "500")}}},
        {"full chain", {}},
    };
    constexpr int kColumns = 4, kTileWidth = 320, kTileHeight = 240;
    const int rows = (static_cast<int>(tiles.size()) + kColumns - 1) / kColumns;
    scenes::Frame sheet(kColumns * kTileWidth, rows * kTileHeight, 40);
    scenes::Frame tile(kTileWidth, kTileHeight);
    for (size_t i = 0; i < tiles.size(); ++i) {
        scenes::Frame out = RunTile(tiles[i], portrait, i + 1 == tiles.size());
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
    // Files are written top row first.
    EM::Helper::Hflip(&sheet.image);
    const std::string path = std::string(ZAVREO_BUILD_ROOT) + "/effects.png";
    ASSERT_TRUE(EM::Helper::Save(&sheet.image, path));
    EXPECT_TRUE(std::filesystem::exists(path));
}

// The face at full size, where smoothing and slimming show.
TEST(ContactSheet, ShowsTheFaceAtFullSize) {
    const scenes::Frame portrait = scenes::Portrait();
    const std::vector<Tile> tiles = {
        {"original", {}},
        {"DomainTransform 30", {{"DomainTransformFilter", {{"level", "30"}}}}},
        {"DomainTransform 15", {{"DomainTransformFilter", {{"level", "15"}}}}},
        {"ScaleFilter -1.00", {{"ScaleFilter", {{"scale", "-1.00"}}}}},
        {"ScaleFilter 1.00", {{"ScaleFilter", {{"scale", "1.00"}}}}},
    };
    constexpr int kLeft = 200, kTop = 20, kSize = 200;
    scenes::Frame sheet(kSize * static_cast<int>(tiles.size()), kSize);
    for (size_t i = 0; i < tiles.size(); ++i) {
        scenes::Frame out = RunTile(tiles[i], portrait, false);
        for (int y = 0; y < kSize; ++y) {
            std::memcpy(sheet.At(static_cast<int>(i) * kSize, y), out.At(kLeft, kTop + y),
                        kSize * 3);
        }
    }
    EM::Helper::Hflip(&sheet.image);
    ASSERT_TRUE(
        EM::Helper::Save(&sheet.image, std::string(ZAVREO_BUILD_ROOT) + "/effects_face.png"));
}
