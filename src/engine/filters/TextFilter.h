#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ColorLut.h"
#include "FilterBase.h"

namespace EM {

// A line of text over the picture, drawn with FreeType. Keys: "text" (UTF-8), "font_file" (a
// missing file falls back to a CJK face found through fontconfig), "font_size" (pixels),
// "color" and "back_color" (hex BBGGRRAA), "showback" (a band in "back_color" across the whole
// width), "pos_x" and "pos_y" (per mille of the free space, "pos_y" 0 at the top as seen),
// "speed" (pixels per second, positive to the right), "scroll", "random_color".
// Sizes and speeds are those of the 640 x 480 design frame: the text and its band grow with the
// frame's height, the speed with its width, so the line keeps its place and crosses in the same
// time at any size.
// The text is rendered into a coverage bitmap when parameters or the frame size change (on the
// thread that configures the chain, under its lock, or that prepares it for a size); frames, on
// the capture thread, only blend it.
class TextFilter : public FilterBase {
public:
    TextFilter();
    ~TextFilter() override;
    void Process(EffectImage& image) override;
    void Prepare(int width, int height) override;

    struct Bgra {
        uint8_t blue = 0, green = 0, red = 0, alpha = 0;
    };

private:
    struct Fonts;

    void OnParamsChanged() override;
    // Renders again when the text, the face or the size in pixels changed.
    void RenderIfChanged();
    void Render();
    // The font size in pixels on the prepared frame.
    int PixelSize() const;
    double NextX(const EffectImage& image, double restingX);
    Bgra TextColour(uint32_t timeMs) const;
    void DrawBand(EffectImage& image, int top, int height) const;
    void DrawText(EffectImage& image, int left, int top, Bgra colour) const;

    std::unique_ptr<Fonts> fonts_;
    std::string renderedText_, renderedFont_;
    int renderedSize_ = 0;

    int fontSize_ = 36;                                            // on the design frame
    int frameWidth_ = kDesignWidth, frameHeight_ = kDesignHeight;  // prepared for
    Bgra colour_{255, 255, 255, 255};
    Bgra backColour_{128, 128, 128, 127};
    ColorLut band_;  // each channel blended towards backColour_ by its alpha
    bool showBack_ = true, scroll_ = true, randomColour_ = false;
    int posX_ = 0, posY_ = 1000;
    double speed_ = 0.0;  // on the design frame

    std::vector<uint8_t> coverage_;  // textWidth_ x lineHeight_, top row first
    int textWidth_ = 0, lineHeight_ = 0;

    // Scrolling follows the frames' arrival times.
    bool moving_ = false;
    double scrollX_ = 0.0;
    uint32_t lastTimeMs_ = 0;
};

}  // namespace EM
