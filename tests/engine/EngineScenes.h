#pragma once
// Frames and chains shared by the engine's tests, its contact sheet and its benchmarks.

#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include "EffectManager.h"
#include "ImageCodec.h"

namespace scenes {

inline std::string DataPath(const std::string& name) {
    return std::string(ZAVREO_ENGINE_TEST_DATA) + "/" + name;
}

// An owned BGR frame, rows bottom first like the camera's.
struct Frame {
    std::vector<uint8_t> bytes;
    EM::EffectImage image;

    Frame(int width, int height, uint8_t fill = 0)
        : bytes(static_cast<size_t>(width) * height * 3, fill) {
        image.pixels = bytes.data();
        image.width = width;
        image.height = height;
        image.stride = width * 3;
    }
    Frame(const Frame& other) : Frame(other.image.width, other.image.height) {
        bytes = other.bytes;
        image.pixels = bytes.data();
        image.timeMs = other.image.timeMs;
    }
    Frame& operator=(const Frame&) = delete;

    // Pixel at column x, row y counted from the top of the picture as seen.
    uint8_t* At(int x, int yFromTop) const {
        return image.Row(image.height - 1 - yFromTop) + x * 3;
    }
};

// A picture of the test data as a camera frame, bottom row first.
inline Frame LoadFrame(const std::string& name) {
    auto decoded = EM::DecodeImageFile(DataPath(name), 3);
    if (!decoded) {
        throw std::runtime_error("test picture missing: " + name);
    }
    Frame frame(decoded->width, decoded->height);
    const size_t rowBytes = static_cast<size_t>(decoded->width) * 3;
    for (int y = 0; y < decoded->height; ++y) {
        std::memcpy(frame.image.Row(decoded->height - 1 - y), decoded->pixels.data() + y * rowBytes,
                    rowBytes);
    }
    return frame;
}

// The 640 x 480 portrait of the test data.
inline Frame Portrait() {
    return LoadFrame("astronaut_640x480.png");
}

// The same scene from a 16:9 camera: the portrait's middle 640 x 360 band enlarged to 1280 x 720.
inline Frame PortraitHd() {
    const Frame portrait = Portrait();
    EM::EffectImage band = portrait.image;
    band.pixels = portrait.image.Row(60);
    band.height = 360;
    Frame hd(1280, 720);
    EM::Helper::Resize(&band, &hd.image);
    return hd;
}

inline EM::ParamMap Subtitle() {
    return {{"text", "欢迎使用Zavreo直播助手 Live!"},
            {"font_file", "/no/such/font/simhei.ttf"},
            {"font_size", "36"},
            {"pos_x", "0"},
            {"pos_y", "1000"},
            {"speed", "-80"},
            {"color", "FFFFFFFF"},
            {"back_color", "8040207F"},
            {"scroll", "true"},
            {"showback", "true"},
            {"random_color", "false"}};
}

inline EM::ParamMap Sticker(int index, const char* posX, const char* posY) {
    std::string list;
    for (int i = 0; i < 3; ++i) {
        list +=
            (i ? "," : "") + DataPath("overlay/sticker" + std::to_string((index + i) % 3) + ".png");
    }
    return {{"pictures", list}, {"fps", "10"},   {"loop", "true"},
            {"delay", "0"},     {"pos_x", posX}, {"pos_y", posY}};
}

// Every effect at its strongest, as a broadcaster could switch them all on.
inline void AddFullChain(EM::EffectManager& engine) {
    engine.AddFilter("TestScale", "ScaleFilter", {{"scale", "-1.00"}});
    engine.AddFilter("TestBright", "BrightFilter", {{"brightness", "80"}});
    engine.AddFilter("TestDomainTransform", "DomainTransformFilter", {{"level", "30"}});
    engine.AddFilter("TestWhiter", "WhiterFilter", {});
    engine.AddFilter("Sweet", "SweetFilter", {});
    engine.AddFilter("TestSun", "SunFilter", {{"type", "2"}});
    engine.AddFilter("Movie", "MovieFilter", {});
    engine.AddFilter("TestText", "TextFilter", Subtitle());
    engine.AddFilter("One", "OverlayFilter", Sticker(0, "0", "150"));
    engine.AddFilter("Two", "OverlayFilter", Sticker(1, "1000", "150"));
    engine.AddFilter("Three", "OverlayFilter", Sticker(2, "50", "700"));
    engine.AddFilter("Four", "OverlayFilter", Sticker(0, "950", "700"));
    engine.AddFilter("Five", "OverlayFilter", Sticker(1, "500", "400"));
}

}  // namespace scenes
