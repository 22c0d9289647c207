#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "FilterBase.h"

namespace EM {

struct DecodedImage;

// An animated picture laid over the frame: "pictures" (comma-separated PNG paths with alpha;
// unreadable ones are skipped), "fps", "loop" ("true" repeats, otherwise the last picture stays),
// "delay" (milliseconds without the overlay between two runs), "pos_x", "pos_y" (per mille of the
// free space, "pos_y" 0 at the top as seen; centred when absent). Pictures are decoded once, when
// "pictures" changes, on the thread that configures the chain (under its lock);
// timing follows the frames' arrival times from the first frame after they were loaded.
// The pictures are drawn for the 640 x 480 design frame: on frames of another size each side
// scales with the frame's, so that a picture covering the design frame covers this one too. They
// are scaled once per frame size, when prepared for it (or on the first frame of that size).
class OverlayFilter : public FilterBase {
public:
    OverlayFilter() { OnParamsChanged(); }
    void Process(EffectImage& image) override;
    void Prepare(int width, int height) override;

private:
    // Only the visible pixels are kept, as runs along the rows: decorations are mostly
    // transparent full-frame pictures, and even inside the box round their visible part most
    // pixels of a sparkle are clear.
    struct Run {
        int row = 0;    // counted from the bottom of the picture
        int first = 0;  // first column
        int count = 0;
    };
    struct Picture {
        int width = 0, height = 0;  // of the file, which is what gets placed
        std::vector<Run> runs;      // rows bottom first, left to right within a row
        // Per pixel of the runs, in their order: premultiplied blue, green, red, then 255 - alpha.
        std::vector<uint8_t> pixels;
    };

    void OnParamsChanged() override;
    void Load(const std::string& list);
    static Picture Premultiplied(const DecodedImage& decoded);
    // `design` as it covers a frame of `frameWidth` x `frameHeight`: bilinear over the
    // premultiplied pixels, so edges fade as they did.
    static Picture Scaled(const Picture& design, int frameWidth, int frameHeight);
    void ScaleAll();
    const std::vector<Picture>& Shown() const {
        return frameWidth_ == kDesignWidth && frameHeight_ == kDesignHeight ? pictures_ : scaled_;
    }
    // Index in sequence_ of the picture to show `elapsedMs` after the start, or -1 for none.
    int PictureAt(uint32_t elapsedMs) const;
    void Draw(EffectImage& image, const Picture& picture) const;

    std::vector<Picture> pictures_;  // each readable path once, as drawn for the design frame
    std::vector<Picture> scaled_;    // the same for the prepared size, unless it is the design's
    int frameWidth_ = kDesignWidth, frameHeight_ = kDesignHeight;  // prepared for
    std::vector<size_t> sequence_;  // the list's readable entries, as indexes into pictures_
    std::string loadedList_;
    bool loaded_ = false;
    int fps_ = 10;
    bool loop_ = false;
    int delayMs_ = 0;
    int posX_ = 500, posY_ = 500;
    bool started_ = false;
    uint32_t startMs_ = 0;
};

}  // namespace EM
