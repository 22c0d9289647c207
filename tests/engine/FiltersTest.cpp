// Behaviour of the individual filters on the bottom-up frame layout.

#include <gtest/gtest.h>
#include <png.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <functional>
#include <random>
#include <tuple>

#include "EngineScenes.h"
#include "ImageCodec.h"

namespace {

using scenes::Frame;

Frame Apply(const Frame& input, const std::string& type, const EM::ParamMap& params,
            uint32_t timeMs = 0) {
    EM::EffectManager engine;
    engine.AddFilter("f", type, params);
    Frame out(input);
    out.image.timeMs = timeMs;
    engine.DoFilter(&out.image);
    return out;
}

Frame Grey(int width, int height, uint8_t level) {
    return Frame(width, height, level);
}

bool SamePixel(const uint8_t* p, uint8_t b, uint8_t g, uint8_t r) {
    return p[0] == b && p[1] == g && p[2] == r;
}

using Curve = std::function<double(double)>;

// A curve on [0, 1] as a level: clamped, rounded.
uint8_t Level(const Curve& curve, int in) {
    return static_cast<uint8_t>(std::lround(std::clamp(curve(in / 255.0), 0.0, 1.0) * 255.0));
}

// Whitening: log(1 + (b - 1) x) / log(b).
double LogLift(double base, double x) {
    return std::log1p((base - 1.0) * x) / std::log(base);
}

// Faded: a gamma, then black lifted to `floor` and white lowered to `ceiling`.
double Faded(double x, double gamma, double floor, double ceiling) {
    return floor + std::pow(x, gamma) * (ceiling - floor);
}

// The movie grade: a gentle S-curve, blue lifted in the shadows, red in the highlights.
double Contrast(double x) {
    return x - 0.15 * std::sin(2.0 * M_PI * x) / (2.0 * M_PI);
}
double MovieBlue(double x) {
    return Contrast(x) + 0.04 * (1.0 - x) * (1.0 - x);
}
double MovieRed(double x) {
    return Contrast(x) * 0.97 + 0.05 * x * x;
}

// Rows (from the top as seen) where any pixel differs.
std::vector<int> ChangedRows(const Frame& a, const Frame& b) {
    std::vector<int> rows;
    for (int y = 0; y < a.image.height; ++y) {
        if (std::memcmp(a.At(0, y), b.At(0, y), a.image.width * 3) != 0) {
            rows.push_back(y);
        }
    }
    return rows;
}

}  // namespace

TEST(Filters, NeutralValuesLeaveTheFrameUnchanged) {
    const Frame portrait = scenes::Portrait();
    const std::vector<std::pair<std::string, EM::ParamMap>> neutral = {
        {"BrightFilter", {{"brightness", "0"}}},
        {"ScaleFilter", {{"scale", "0.00"}}},
        {"ScaleFilter", {{"scale", "-0.00"}}},
        {"DomainTransformFilter", {{"level", "0"}}},
        {"MirrorFilter", {{"dside", "false"}, {"hflip", "false"}, {"vflip", "false"}}},
        {"TextFilter", {{"text", ""}, {"showback", "false"}}},
        {"TextFilter", {{"text", "hello"}, {"color", "FFFFFF00"}, {"back_color", "00000000"}}},
        {"OverlayFilter", {{"pictures", ""}}},
    };
    for (const auto& [type, params] : neutral) {
        EXPECT_EQ(Apply(portrait, type, params).bytes, portrait.bytes) << type;
    }
}

TEST(Filters, BadValuesFallBackToTheDefaultOfTheKey) {
    const Frame portrait = scenes::Portrait();
    struct Case {
        std::string type;
        EM::ParamMap bad, fallback;
    };
    const std::vector<Case> cases = {
        {"BrightFilter", {{"brightness", "abc"}}, {{"brightness", "40"}}},
        {"BrightFilter", {{"brightness", "81"}}, {{"brightness", "40"}}},
        {"DomainTransformFilter", {{"level", "-1"}}, {{"level", "15"}}},
        {"DomainTransformFilter", {{"level", "1e9"}}, {{"level", "15"}}},
        {"ScaleFilter", {{"scale", "-1.5"}}, {{"scale", "0.00"}}},
        {"ScaleFilter", {{"scale", "nan"}}, {{"scale", "0.00"}}},
        {"SunFilter", {{"type", "7"}}, {{"type", "0"}}},
        {"SunFilter", {{"type", ""}}, {{"type", "0"}}},
        {"TextFilter",
         {{"text", "Ab"}, {"font_size", "-3"}, {"color", "GG0000FF"}, {"pos_y", "2000"}},
         {{"text", "Ab"}, {"font_size", "36"}, {"color", "FFFFFFFF"}, {"pos_y", "1000"}}},
        {"TextFilter",
         {{"text", "Ab"}, {"back_color", "123"}, {"speed", "fast"}, {"showback", "maybe"}},
         {{"text", "Ab"}, {"back_color", "8080807F"}, {"speed", "0"}, {"showback", "true"}}},
        {"OverlayFilter",
         {{"pictures", scenes::DataPath("overlay/frame0.png")}, {"fps", "0"}, {"pos_x", "x"}},
         {{"pictures", scenes::DataPath("overlay/frame0.png")}, {"fps", "10"}, {"pos_x", "500"}}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Apply(portrait, c.type, c.bad).bytes, Apply(portrait, c.type, c.fallback).bytes)
            << c.type << " " << c.bad.begin()->first;
    }
    // Files that are missing or not pictures leave nothing to draw.
    EXPECT_EQ(Apply(portrait, "OverlayFilter",
                    {{"pictures", "/no/such.png," + scenes::DataPath("README.md") + ",,"}})
                  .bytes,
              portrait.bytes);
}

TEST(Filters, MovieBarsLeaveASixteenByNinePicture) {
    // Mid grey through the grade (cool shadows, warm highlights leave it slightly warm).
    const uint8_t graded[3] = {Level(MovieBlue, 128), Level(Contrast, 128), Level(MovieRed, 128)};
    const uint8_t black[3] = {0, 0, 0};
    const Frame out = Apply(Grey(640, 480, 128), "MovieFilter", {});
    for (int y = 0; y < 480; ++y) {
        const bool bar = y < 60 || y >= 420;
        for (int x = 0; x < 640; x += 64) {
            ASSERT_EQ(std::memcmp(out.At(x, y), bar ? black : graded, 3), 0) << x << "," << y;
        }
    }
    // Bars split evenly on other sizes; a picture already as wide gets none.
    const Frame square = Apply(Grey(100, 100, 128), "MovieFilter", {});
    EXPECT_TRUE(SamePixel(square.At(50, 21), 0, 0, 0));
    EXPECT_FALSE(SamePixel(square.At(50, 22), 0, 0, 0));
    EXPECT_FALSE(SamePixel(square.At(50, 77), 0, 0, 0));
    EXPECT_TRUE(SamePixel(square.At(50, 78), 0, 0, 0));
    const Frame wide = Apply(Grey(160, 90, 128), "MovieFilter", {});
    for (int y = 0; y < 90; ++y) {
        ASSERT_EQ(std::memcmp(wide.At(80, y), graded, 3), 0) << y;
    }
}

TEST(Filters, SlimmingNarrowsOrWidensTheFace) {
    // Two dark vertical lines a face's width apart, on white.
    Frame lines = Grey(640, 480, 255);
    for (int y = 0; y < 480; ++y) {
        for (int x : {259, 260, 379, 380}) {
            std::memset(lines.At(x, y), 0, 3);
        }
    }
    auto gap = [](const Frame& f) {
        double left = 0, right = 0, leftWeight = 0, rightWeight = 0;
        for (int x = 0; x < 640; ++x) {
            const double ink = 255 - f.At(x, 240)[1];
            (x < 320 ? left : right) += ink * x;
            (x < 320 ? leftWeight : rightWeight) += ink;
        }
        return right / rightWeight - left / leftWeight;
    };
    const double before = gap(lines);
    const double narrow = gap(Apply(lines, "ScaleFilter", {{"scale", "-1.00"}}));
    const double wide = gap(Apply(lines, "ScaleFilter", {{"scale", "1.00"}}));
    EXPECT_NEAR(narrow / before, 0.88, 0.03);
    EXPECT_GT(wide / before, 1.08);
    EXPECT_LT(gap(Apply(lines, "ScaleFilter", {{"scale", "-0.50"}})), before);
    // "%.2f" writes a decimal comma in some locales; either way the value is the same.
    EXPECT_EQ(Apply(lines, "ScaleFilter", {{"scale", "-0,50"}}).bytes,
              Apply(lines, "ScaleFilter", {{"scale", "-0.50"}}).bytes);
}

TEST(Filters, SunLightComesFromTheChosenUpperCorner) {
    const Frame grey = Grey(640, 480, 100);
    auto gain = [](const Frame& f, int x, int y) { return f.At(x, y)[2] - 100; };
    const Frame left = Apply(grey, "SunFilter", {{"type", "0"}});
    const Frame right = Apply(grey, "SunFilter", {{"type", "1"}});
    const Frame both = Apply(grey, "SunFilter", {{"type", "2"}});
    EXPECT_GT(gain(left, 10, 10), 60);
    EXPECT_GT(gain(left, 10, 10), 4 * std::max(gain(left, 629, 10), 1));
    EXPECT_GT(gain(right, 629, 10), 60);
    EXPECT_GT(gain(right, 629, 10), 4 * std::max(gain(right, 10, 10), 1));
    EXPECT_GT(gain(both, 10, 10), 60);
    EXPECT_GT(gain(both, 629, 10), 60);
    // Light, not shade, and fading towards the bottom; warm: red gains more than blue.
    EXPECT_LT(gain(left, 10, 470), gain(left, 10, 10) / 2);
    EXPECT_GT(left.At(10, 10)[2] - left.At(10, 10)[0], 20);
}

// Each look's tone curve as defined, on every input level of each channel.
TEST(Filters, ColourLooksFollowTheirToneCurvesAtEveryLevel) {
    // The channels run through the levels in different orders, so a swap of channels shows.
    Frame ramp(256, 2);
    for (int v = 0; v < 256; ++v) {
        for (int y = 0; y < 2; ++y) {
            uint8_t* p = ramp.At(v, y);
            p[0] = static_cast<uint8_t>(v);
            p[1] = static_cast<uint8_t>(255 - v);
            p[2] = static_cast<uint8_t>(v * 97);
        }
    }
    struct Look {
        std::string type;
        EM::ParamMap params;
        std::array<Curve, 3> curves;  // blue, green, red
    };
    auto grey = [](Curve c) { return std::array<Curve, 3>{c, c, c}; };
    auto lift = [](double base) { return [base](double x) { return LogLift(base, x); }; };
    const std::vector<Look> looks = {
        {"BrightFilter", {{"brightness", "1"}}, grey(lift(1.05))},
        {"BrightFilter", {{"brightness", "40"}}, grey(lift(3.0))},
        {"BrightFilter", {{"brightness", "80"}}, grey(lift(5.0))},
        {"SweetFilter",
         {},
         {[](double x) { return Faded(x, 0.95, 0.10, 0.96); },
          [](double x) { return Faded(x, 1.04, 0.06, 0.95); },
          [](double x) { return Faded(x, 0.80, 0.10, 1.0); }}},
        // 256 x 2 is wider than 16:9: no bars, every pixel graded.
        {"MovieFilter", {}, {MovieBlue, Contrast, MovieRed}},
    };
    for (const Look& look : looks) {
        const Frame out = Apply(ramp, look.type, look.params);
        for (int x = 0; x < 256; ++x) {
            for (int c = 0; c < 3; ++c) {
                const int in = ramp.At(x, 1)[c];
                ASSERT_EQ(out.At(x, 0)[c], Level(look.curves[c], in))
                    << look.type << " " << look.params.size() << " channel " << c << " level "
                    << in;
                ASSERT_EQ(out.At(x, 1)[c], out.At(x, 0)[c]);
            }
        }
    }
}

// On a flat picture the glow's blur is the picture itself: each level is whitened, and 30 % of
// the whitened level is screened over it. Next to a bright patch the glow spreads into the dark.
TEST(Filters, WhiterWhitensEveryLevelAndSpreadsItsGlow) {
    auto whiter = [](int v) {
        const double a = LogLift(2.6, v / 255.0);
        const double glow = std::lround(a * 0.30 * 255.0) / 255.0;
        return static_cast<int>(std::lround(std::min(a + (1.0 - a) * glow, 1.0) * 255.0));
    };
    for (int v : {0, 1, 37, 128, 200, 254, 255}) {
        Frame flat(66, 50);
        for (size_t i = 0; i < flat.bytes.size(); i += 3) {
            flat.bytes[i] = static_cast<uint8_t>(v);
            flat.bytes[i + 1] = static_cast<uint8_t>(255 - v);
            flat.bytes[i + 2] = static_cast<uint8_t>(v / 3);
        }
        const Frame out = Apply(flat, "WhiterFilter", {});
        for (size_t i = 0; i < out.bytes.size(); i += 3) {
            ASSERT_EQ(out.bytes[i], whiter(v)) << v << " at " << i / 3;
            ASSERT_EQ(out.bytes[i + 1], whiter(255 - v)) << v << " at " << i / 3;
            ASSERT_EQ(out.bytes[i + 2], whiter(v / 3)) << v << " at " << i / 3;
        }
    }
    Frame patch = Grey(160, 120, 0);
    for (int y = 40; y < 80; ++y) {
        std::memset(patch.At(60, y), 255, 40 * 3);
    }
    const Frame glowing = Apply(patch, "WhiterFilter", {});
    EXPECT_GT(glowing.At(56, 60)[1], 20);
    EXPECT_GT(glowing.At(56, 60)[1], glowing.At(48, 60)[1]);
    EXPECT_EQ(glowing.At(5, 5)[1], 0);
    EXPECT_EQ(glowing.At(80, 60)[1], 255);
    // The blur and its enlargement are centred: the glow is as symmetric as the patch.
    for (int y = 0; y < 120; ++y) {
        for (int x = 0; x < 160; ++x) {
            ASSERT_EQ(std::memcmp(glowing.At(x, y), glowing.At(159 - x, 119 - y), 3), 0)
                << x << "," << y;
        }
    }
}

// Light is screened over each level: out = in + (255 - in) * light / 255, the light being what
// the filter puts on black; and it is warm, its blue and green fixed shares of its red.
TEST(Filters, SunLightIsScreenedOverEveryLevel) {
    const Frame light = Apply(Grey(640, 480, 0), "SunFilter", {{"type", "2"}});
    int lit = 0;
    for (size_t i = 0; i < light.bytes.size(); i += 3) {
        const double red = light.bytes[i + 2];
        ASSERT_NEAR(light.bytes[i], red * 150 / 255, 1.0) << i / 3;
        ASSERT_NEAR(light.bytes[i + 1], red * 215 / 255, 1.0) << i / 3;
        lit += red > 0;
    }
    EXPECT_GT(lit, 640 * 480 / 2);
    for (int v : {1, 60, 128, 200, 254, 255}) {
        const Frame out = Apply(Grey(640, 480, v), "SunFilter", {{"type", "2"}});
        for (size_t i = 0; i < out.bytes.size(); ++i) {
            ASSERT_EQ(out.bytes[i], v + std::lround((255 - v) * light.bytes[i] / 255.0))
                << "level " << v << " at " << i / 3;
        }
    }
}

TEST(TextFilter, BandLandsAtTheChosenHeightAsSeen) {
    const Frame black = Grey(320, 240, 0);
    const EM::ParamMap base = {
        {"text", "Zavreo 直播"}, {"font_size", "24"}, {"speed", "0"}, {"back_color", "FFFFFFFF"}};
    for (const auto& [posY, expectTop] :
         std::vector<std::pair<std::string, bool>>{{"0", true}, {"1000", false}}) {
        EM::ParamMap params = base;
        params["pos_y"] = posY;
        const std::vector<int> rows = ChangedRows(black, Apply(black, "TextFilter", params));
        ASSERT_FALSE(rows.empty());
        if (expectTop) {
            EXPECT_EQ(rows.front(), 0);
            EXPECT_LT(rows.back(), 60);
        } else {
            EXPECT_EQ(rows.back(), 239);
            EXPECT_GT(rows.front(), 180);
        }
    }
    EM::ParamMap middle = base;
    middle["pos_y"] = "500";
    const std::vector<int> rows = ChangedRows(black, Apply(black, "TextFilter", middle));
    ASSERT_FALSE(rows.empty());
    EXPECT_NEAR((rows.front() + rows.back()) / 2.0, 119.5, 2.0);
}

TEST(TextFilter, ColoursReadBlueGreenRedAlpha) {
    const Frame black = Grey(640, 480, 0);
    // An opaque red band ("0000FFFF") with no text.
    const Frame band =
        Apply(black, "TextFilter", {{"text", ""}, {"back_color", "0000FFFF"}, {"pos_y", "0"}});
    EXPECT_TRUE(SamePixel(band.At(100, 2), 0, 0, 255));
    // Half-transparent grey over black is a darker grey.
    const Frame grey =
        Apply(black, "TextFilter", {{"text", ""}, {"back_color", "8080807F"}, {"pos_y", "0"}});
    EXPECT_NEAR(grey.At(100, 2)[0], 64, 2);
    // Opaque blue text ("FF0000FF") without a band: only blue appears.
    const Frame text =
        Apply(black, "TextFilter", {{"text", "HH"}, {"color", "FF0000FF"}, {"showback", "false"}});
    int blue = 0;
    for (size_t i = 0; i < text.bytes.size(); i += 3) {
        EXPECT_EQ(text.bytes[i + 1], 0);
        EXPECT_EQ(text.bytes[i + 2], 0);
        blue += text.bytes[i] == 255;
    }
    EXPECT_GT(blue, 20);
}

namespace {

// Leftmost column with text ink (green channel) in a frame.
int TextLeft(const Frame& f) {
    for (int x = 0; x < f.image.width; ++x) {
        for (int y = 0; y < f.image.height; ++y) {
            if (f.At(x, y)[1] > 128) {
                return x;
            }
        }
    }
    return -1;
}

}  // namespace

TEST(TextFilter, ScrollsWithArrivalTimeAndReentersFromTheOtherSide) {
    EM::EffectManager engine;
    engine.AddFilter("t", "TextFilter",
                     {{"text", "I"},
                      {"font_size", "30"},
                      {"color", "FFFFFFFF"},
                      {"showback", "false"},
                      {"pos_x", "500"},
                      {"speed", "100"}});
    const Frame black = Grey(640, 480, 0);
    auto at = [&](uint32_t t) {
        Frame f(black);
        f.image.timeMs = t;
        engine.DoFilter(&f.image);
        return TextLeft(f);
    };
    const int start = at(1000);
    EXPECT_NEAR(at(1500), start + 50, 1);  // 100 px/s for half a second
    EXPECT_NEAR(at(1600), start + 60, 1);  // frame count does not matter, time does
    // Past the right edge it comes back in from the left.
    const int wrapped = at(1500 + 1000 * (640 - start) / 100);
    EXPECT_GE(wrapped, 0);
    EXPECT_LT(wrapped, start);
    // Leftwards with a negative speed.
    engine.Ref("t")->SetParam({{"speed", "-100"}});
    const int before = at(10000);
    EXPECT_NEAR(at(10200), before - 20, 1);
    // Still without speed: back at its resting place.
    engine.Ref("t")->SetParam({{"speed", "0"}});
    EXPECT_EQ(at(20000), start);
}

TEST(TextFilter, ModifyKeepsTheKeysItDoesNotSend) {
    EM::EffectManager engine;
    engine.AddFilter(
        "t", "TextFilter",
        {{"text", "HH"}, {"color", "FF0000FF"}, {"showback", "false"}, {"font_size", "40"}});
    engine.Ref("t")->SetParam({{"pos_y", "0"}});
    Frame f = Grey(640, 480, 0);
    engine.DoFilter(&f.image);
    int blue = 0;
    for (size_t i = 0; i < f.bytes.size(); i += 3) {
        blue += f.bytes[i] == 255 && f.bytes[i + 2] == 0;
    }
    EXPECT_GT(blue, 40);  // still blue, still 40 px
    EXPECT_EQ(engine.List()[0].params.at("font_size"), "40");
    EXPECT_LT(ChangedRows(Grey(640, 480, 0), f).back(), 240);  // and now in the top half
}

TEST(TextFilter, RandomColourChangesOverTime) {
    EM::EffectManager engine;
    engine.AddFilter(
        "t", "TextFilter",
        {{"text", "HH"}, {"random_color", "true"}, {"showback", "false"}, {"font_size", "40"}});
    auto inkAt = [&](uint32_t t) {
        Frame f = Grey(200, 100, 0);
        f.image.timeMs = t;
        engine.DoFilter(&f.image);
        std::array<int, 3> ink{};
        for (size_t i = 0; i < f.bytes.size(); i += 3) {
            for (int c = 0; c < 3; ++c) {
                ink[c] = std::max<int>(ink[c], f.bytes[i + c]);
            }
        }
        return ink;
    };
    EXPECT_NE(inkAt(0), inkAt(2500));
    // Smoothly: 40 ms apart the colour barely moves.
    const auto a = inkAt(1000), b = inkAt(1040);
    for (int c = 0; c < 3; ++c) {
        EXPECT_LE(std::abs(a[c] - b[c]), 12);
    }
}

namespace {

std::string Frames(std::initializer_list<const char*> names) {
    std::string list;
    for (const char* name : names) {
        list += (list.empty() ? "" : ",") + scenes::DataPath(std::string("overlay/") + name);
    }
    return list;
}

// Colour at the centre of the small overlay placed at the top left of a design-size frame (where
// pictures keep their own size), or "none".
std::string OverlayAt(EM::EffectManager& engine, uint32_t t) {
    Frame f = Grey(640, 480, 128);
    f.image.timeMs = t;
    engine.DoFilter(&f.image);
    const uint8_t* p = f.At(12, 8);
    if (SamePixel(p, 0, 0, 255)) {
        return "red";
    }
    if (SamePixel(p, 0, 255, 0)) {
        return "green";
    }
    if (SamePixel(p, 255, 0, 0)) {
        return "blue";
    }
    return SamePixel(p, 128, 128, 128) ? "none" : "other";
}

}  // namespace

TEST(OverlayFilter, StepsThroughItsPicturesByArrivalTime) {
    EM::EffectManager engine;
    engine.AddFilter("o", "OverlayFilter",
                     {{"pictures", Frames({"frame0.png", "frame1.png", "frame2.png"})},
                      {"fps", "10"},
                      {"loop", "true"},
                      {"delay", "500"},
                      {"pos_x", "0"},
                      {"pos_y", "0"}});
    // The clock starts at the first frame; a run is 300 ms, then 500 ms without the overlay.
    // The millisecond counter wraps round during the first run.
    const uint32_t start = 0xFFFFFFFFu - 149;
    EXPECT_EQ(OverlayAt(engine, start), "red");
    EXPECT_EQ(OverlayAt(engine, start + 99), "red");
    EXPECT_EQ(OverlayAt(engine, start + 100), "green");
    EXPECT_EQ(OverlayAt(engine, start + 250), "blue");
    EXPECT_EQ(OverlayAt(engine, start + 300), "none");
    EXPECT_EQ(OverlayAt(engine, start + 799), "none");
    EXPECT_EQ(OverlayAt(engine, start + 800), "red");
    EXPECT_EQ(OverlayAt(engine, start + 950), "green");

    // A picture named twice is shown for two steps.
    EM::EffectManager held;
    held.AddFilter("o", "OverlayFilter",
                   {{"pictures", Frames({"frame0.png", "frame0.png", "frame1.png"})},
                    {"pos_x", "0"},
                    {"pos_y", "0"}});
    EXPECT_EQ(OverlayAt(held, 0), "red");
    EXPECT_EQ(OverlayAt(held, 150), "red");
    EXPECT_EQ(OverlayAt(held, 250), "green");
}

TEST(OverlayFilter, StopsOnTheLastPictureWithoutLoop) {
    EM::EffectManager engine;
    engine.AddFilter("o", "OverlayFilter",
                     {{"pictures", Frames({"frame0.png", "frame1.png", "frame2.png"})},
                      {"fps", "20"},
                      {"loop", "false"},
                      {"delay", "500"},
                      {"pos_x", "0"},
                      {"pos_y", "0"}});
    EXPECT_EQ(OverlayAt(engine, 0), "red");
    EXPECT_EQ(OverlayAt(engine, 60), "green");
    EXPECT_EQ(OverlayAt(engine, 140), "blue");
    EXPECT_EQ(OverlayAt(engine, 900), "blue");
    EXPECT_EQ(OverlayAt(engine, 100000), "blue");
}

TEST(OverlayFilter, SkipsUnreadablePicturesAndPlacesByPerMille) {
    // A pipe or a folder among the paths must neither block nor count as a picture.
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("zavreo-overlay-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    const std::string pipe = (folder / "pipe.png").string();
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    EM::EffectManager engine;
    engine.AddFilter("o", "OverlayFilter",
                     {{"pictures", "/no/such/frame.png," + pipe + "," + folder.string() + "," +
                                       Frames({"frame1.png"})},
                      {"pos_x", "0"},
                      {"pos_y", "0"}});
    std::filesystem::remove_all(folder);
    EXPECT_EQ(OverlayAt(engine, 0), "green");
    // Centred without a position: the 24 x 16 picture sits in the middle of 640 x 480.
    EM::EffectManager centred;
    centred.AddFilter("o", "OverlayFilter", {{"pictures", Frames({"frame0.png"})}});
    Frame f = Grey(640, 480, 128);
    centred.DoFilter(&f.image);
    EXPECT_TRUE(SamePixel(f.At(320, 240), 0, 0, 255));
    EXPECT_TRUE(SamePixel(f.At(308, 232), 128, 128, 128));  // transparent border of the picture
    EXPECT_TRUE(SamePixel(f.At(5, 5), 128, 128, 128));
    // pos_y 1000 puts it at the bottom as seen.
    EM::EffectManager bottom;
    bottom.AddFilter("o", "OverlayFilter",
                     {{"pictures", Frames({"frame0.png"})}, {"pos_x", "1000"}, {"pos_y", "1000"}});
    Frame g = Grey(640, 480, 128);
    bottom.DoFilter(&g.image);
    EXPECT_TRUE(SamePixel(g.At(628, 472), 0, 0, 255));
    EXPECT_TRUE(SamePixel(g.At(628, 8), 128, 128, 128));
}

// One of the decorations the build generates, configured the way the decorations page does.
TEST(OverlayFilter, PlaysABuiltDecorationBlendedInPlaceWithItsPause) {
    const std::string folder = std::string(ZAVREO_BIN_DIR) + "/guajian/求带我飞/";
    auto path = [&](int i) { return folder + "求带我飞0" + std::to_string(i) + ".png"; };
    std::string list;
    for (int i = 0; i < 7; ++i) {
        list += (i == 0 ? "" : ",") + path(i);
    }
    EM::EffectManager engine;
    engine.AddFilter("QiuDaiWoFei", "OverlayFilter",
                     {{"pictures", list}, {"fps", "10"}, {"loop", "true"}, {"delay", "5000"}});
    const Frame portrait = scenes::Portrait();
    auto frameAt = [&](uint32_t t) {
        Frame f(portrait);
        f.image.timeMs = t;
        engine.DoFilter(&f.image);
        return f;
    };
    // The clock starts at 1050; picture i shows from 1050 + 100 i, straight alpha over the frame.
    for (int i : {0, 3, 6}) {
        const auto picture = EM::DecodeImageFile(path(i), 4);
        ASSERT_TRUE(picture);
        ASSERT_EQ(picture->width, 640);
        ASSERT_EQ(picture->height, 480);
        const Frame out = frameAt(1050 + 100 * i);
        EXPECT_NE(out.bytes, portrait.bytes) << i;
        int worst = 0;
        for (int y = 0; y < 480; ++y) {
            for (int x = 0; x < 640; ++x) {
                const uint8_t* p = picture->pixels.data() + (y * 640 + x) * 4;
                for (int c = 0; c < 3; ++c) {
                    const int want =
                        (p[c] * p[3] + portrait.At(x, y)[c] * (255 - p[3]) + 127) / 255;
                    worst = std::max(worst, std::abs(out.At(x, y)[c] - want));
                }
            }
        }
        EXPECT_LE(worst, 1) << i;
    }
    // A run lasts 700 ms, then five seconds without the decoration, then it starts again.
    EXPECT_EQ(frameAt(1050 + 700).bytes, portrait.bytes);
    EXPECT_EQ(frameAt(1050 + 5699).bytes, portrait.bytes);
    EXPECT_EQ(frameAt(1050 + 5700).bytes, frameAt(1050).bytes);
}

// The sparkle decoration is mostly clear even inside the box round its visible part. Stretched
// to 680 x 520 it is larger than the design frame, so centred it is cut at every side: clear
// pixels stay exactly as they were, and covered ones take the picture's colour by its alpha.
TEST(OverlayFilter, SparseDecorationCutAtEverySideLeavesClearPixelsExactly) {
    const auto sparkle =
        EM::DecodeImageFile(std::string(ZAVREO_BIN_DIR) + "/guajian/闪光/闪光0020.png", 4);
    ASSERT_TRUE(sparkle);
    constexpr int kWidth = 680, kHeight = 520;
    std::vector<uint8_t> picture(static_cast<size_t>(kWidth) * kHeight * 4);
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            const int sx = x * 640 / kWidth, sy = y * 480 / kHeight;
            std::memcpy(picture.data() + (static_cast<size_t>(y) * kWidth + x) * 4,
                        sparkle->pixels.data() + (static_cast<size_t>(sy) * 640 + sx) * 4, 4);
        }
    }
    const std::string path = (std::filesystem::temp_directory_path() /
                              ("zavreo-sparkle-" + std::to_string(getpid()) + ".png"))
                                 .string();
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = kWidth;
    image.height = kHeight;
    image.format = PNG_FORMAT_BGRA;
    ASSERT_TRUE(png_image_write_to_file(&image, path.c_str(), 0, picture.data(), 0, nullptr));
    const Frame portrait = scenes::Portrait();
    EM::EffectManager engine;
    engine.AddFilter("Flash", "OverlayFilter", {{"pictures", path}});
    std::filesystem::remove(path);
    Frame out(portrait);
    engine.DoFilter(&out.image);
    int clear = 0, covered = 0, worst = 0;
    for (int y = 0; y < 480; ++y) {
        for (int x = 0; x < 640; ++x) {
            const uint8_t* p = picture.data() + ((y + 20) * kWidth + x + 20) * 4;
            for (int c = 0; c < 3; ++c) {
                const int was = portrait.At(x, y)[c];
                if (p[3] == 0) {
                    ASSERT_EQ(out.At(x, y)[c], was) << x << "," << y;
                } else {
                    const int want = (p[c] * p[3] + was * (255 - p[3]) + 127) / 255;
                    worst = std::max(worst, std::abs(out.At(x, y)[c] - want));
                }
            }
            ++(p[3] == 0 ? clear : covered);
        }
    }
    EXPECT_LE(worst, 1);
    EXPECT_GT(covered, 1000);
    EXPECT_GT(clear, covered);
}

// A mirror switched on while the subtitle runs must not reverse it, nor the 16:9 bars hide it.
TEST(Filters, SubtitleAndDecorationsLieOverTheFinishedPictureWhateverTheOrderOfAdding) {
    const Frame portrait = scenes::Portrait();
    const std::vector<std::tuple<std::string, std::string, EM::ParamMap>> filters = {
        {"TestText", "TextFilter", scenes::Subtitle()},
        {"Deco", "OverlayFilter", scenes::Sticker(0, "0", "1000")},
        {"TestMirror", "MirrorFilter", {{"hflip", "true"}}},
        {"Movie", "MovieFilter", {}},
        {"TestScale", "ScaleFilter", {{"scale", "-1.00"}}},
    };
    auto render = [&](bool reversed) {
        EM::EffectManager engine;
        for (size_t i = 0; i < filters.size(); ++i) {
            const auto& [name, type, params] = filters[reversed ? filters.size() - 1 - i : i];
            engine.AddFilter(name, type, params);
        }
        Frame f(portrait);
        engine.DoFilter(&f.image);
        return f;
    };
    const Frame textFirst = render(false);
    EXPECT_EQ(textFirst.bytes, render(true).bytes);
    // The band behind the subtitle lies over the bottom bar, right of the text.
    EXPECT_FALSE(SamePixel(textFirst.At(630, 478), 0, 0, 0));
}

TEST(Filters, EveryFilterCopesWithOddSizesAndLeavesRowPaddingAlone) {
    for (auto [width, height] :
         std::vector<std::pair<int, int>>{{1, 1}, {2, 3}, {17, 9}, {641, 481}}) {
        const int stride = width * 3 + 5;
        std::vector<uint8_t> bytes(static_cast<size_t>(stride) * height + 16, 0xA5);
        EM::EffectImage image;
        image.pixels = bytes.data();
        image.width = width;
        image.height = height;
        image.stride = stride;
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width * 3; ++x) {
                image.Row(y)[x] = static_cast<uint8_t>(x * 7 + y * 13);
            }
        }
        EM::EffectManager engine;
        scenes::AddFullChain(engine);
        engine.AddFilter("m", "MirrorFilter", {{"dside", "true"}, {"vflip", "true"}});
        engine.AddFilter("s", "SunFilter", {{"type", "0"}});
        for (uint32_t t = 0; t < 400; t += 40) {
            image.timeMs = t;
            ASSERT_TRUE(engine.DoFilter(&image));
        }
        for (int y = 0; y < height; ++y) {
            for (int i = width * 3; i < stride; ++i) {
                ASSERT_EQ(image.Row(y)[i], 0xA5) << width << "x" << height << " row " << y;
            }
        }
        for (size_t i = static_cast<size_t>(stride) * height; i < bytes.size(); ++i) {
            ASSERT_EQ(bytes[i], 0xA5) << width << "x" << height;
        }
    }
}

// Every column of the band, on noise where any mixed-up byte shows: the bilinear sample of the
// warp source x = c + (x - c)(1 + k (1 - u^2)^2), k = -0.16 scale, u = (x - c) / (0.36 width).
TEST(Filters, SlimmingSamplesItsWarpAtEveryColumnAndChannel) {
    std::mt19937 random(5);
    for (int width : {640, 333}) {
        Frame noise(width, 3);
        for (uint8_t& byte : noise.bytes) {
            byte = static_cast<uint8_t>(random());
        }
        for (const char* scale : {"-1.00", "-0.37", "1.00"}) {
            const Frame out = Apply(noise, "ScaleFilter", {{"scale", scale}});
            const double k = -0.16 * std::stod(scale);
            const double centre = (width - 1) / 2.0, half = 0.36 * width;
            for (int x = 0; x < width; ++x) {
                const double u = (x - centre) / half;
                const double falloff = std::max(0.0, 1.0 - u * u);
                const double source = std::clamp(
                    centre + (x - centre) * (1.0 + k * falloff * falloff), 0.0, width - 1.0);
                const int left = static_cast<int>(source);
                const int right = std::min(left + 1, width - 1);
                const double t = source - left;
                for (int y = 0; y < 3; ++y) {
                    for (int c = 0; c < 3; ++c) {
                        const double expected =
                            noise.At(left, y)[c] * (1.0 - t) + noise.At(right, y)[c] * t;
                        ASSERT_NEAR(out.At(x, y)[c], expected, 1.01)
                            << "scale " << scale << " width " << width << " at " << x << "," << y;
                    }
                }
            }
        }
    }
}

// The colour looks' tone curves run first, folded into one pass in the order of adding, then the
// glow: the same bytes as applying each on its own in that order.
TEST(Filters, ToneCurvesFoldIntoOnePassInTheOrderOfAdding) {
    const Frame portrait = scenes::Portrait();
    EM::EffectManager chain;
    chain.AddFilter("b", "BrightFilter", {{"brightness", "80"}});
    chain.AddFilter("w", "WhiterFilter", {});
    chain.AddFilter("s", "SweetFilter", {});
    Frame folded(portrait);
    chain.DoFilter(&folded.image);
    const Frame brightened = Apply(portrait, "BrightFilter", {{"brightness", "80"}});
    const Frame stepwise = Apply(Apply(brightened, "SweetFilter", {}), "WhiterFilter", {});
    EXPECT_EQ(folded.bytes, stepwise.bytes);
    const Frame otherWay =
        Apply(Apply(Apply(portrait, "SweetFilter", {}), "BrightFilter", {{"brightness", "80"}}),
              "WhiterFilter", {});
    EXPECT_NE(folded.bytes, otherWay.bytes);
}

// Many large pictures in one decoration must not take tens of seconds to decode: beyond a
// budget of decoded pixels the rest of the list is refused. Mostly transparent pictures keep
// little after decoding, so only the decoded size can stop them.
TEST(OverlayFilter, RefusesPicturesBeyondItsDecodingBudget) {
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("zavreo-budget-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    constexpr int kSide = 2048;
    std::vector<uint8_t> bgra(size_t{kSide} * kSide * 4, 0);
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 24; ++x) {
            uint8_t* p = bgra.data() + (static_cast<size_t>(y) * kSide + x) * 4;
            p[2] = p[3] = 255;  // opaque red in the top-left corner
        }
    }
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = image.height = kSide;
    image.format = PNG_FORMAT_BGRA;
    const std::string big = (folder / "big.png").string();
    ASSERT_TRUE(png_image_write_to_file(&image, big.c_str(), 0, bgra.data(), 0, nullptr));
    std::string list;
    for (int i = 0; i < 12; ++i) {
        const std::filesystem::path link = folder / ("big" + std::to_string(i) + ".png");
        std::filesystem::create_hard_link(big, link);
        list += link.string() + ",";
    }
    EM::EffectManager engine;
    engine.AddFilter("o", "OverlayFilter",
                     {{"pictures", list + Frames({"frame1.png"})},
                      {"fps", "10"},
                      {"pos_x", "0"},
                      {"pos_y", "0"}});
    std::filesystem::remove_all(folder);
    EXPECT_EQ(OverlayAt(engine, 0), "red");
    // Eight pictures fit the budget; the green one at the end is never reached.
    EXPECT_EQ(OverlayAt(engine, 650), "red");
    EXPECT_EQ(OverlayAt(engine, 100000), "red");
}

TEST(OverlayFilter, RefusesAPictureOfMoreThanFourMegapixels) {
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("zavreo-huge-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    std::vector<uint8_t> bgr(size_t{2049} * 2048 * 3, 0);
    const std::string huge = (folder / "huge.png").string();
    ASSERT_TRUE(EM::EncodeImageFile(huge, bgr.data(), 2049, 2048, 2049 * 3));
    EM::EffectManager engine;
    engine.AddFilter(
        "o", "OverlayFilter",
        {{"pictures", huge + "," + Frames({"frame1.png"})}, {"pos_x", "0"}, {"pos_y", "0"}});
    std::filesystem::remove_all(folder);
    EXPECT_EQ(OverlayAt(engine, 0), "green");
}
