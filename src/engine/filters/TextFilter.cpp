#include "TextFilter.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <optional>

namespace EM {
namespace {

constexpr size_t kMaxCodePoints = 2000;
constexpr int kMaxTextWidth = 1 << 15;

std::vector<char32_t> DecodeUtf8(const std::string& text) {
    std::vector<char32_t> out;
    size_t i = 0;
    while (i < text.size() && out.size() < kMaxCodePoints) {
        const auto lead = static_cast<unsigned char>(text[i]);
        int extra = lead < 0x80         ? 0
                    : (lead >> 5) == 6  ? 1
                    : (lead >> 4) == 14 ? 2
                    : (lead >> 3) == 30 ? 3
                                        : -1;
        char32_t cp = extra == 0   ? lead
                      : extra == 1 ? lead & 0x1F
                      : extra == 2 ? lead & 0x0F
                                   : lead & 0x07;
        bool valid = extra >= 0 && i + extra < text.size();
        for (int k = 1; valid && k <= extra; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            valid = (next & 0xC0) == 0x80;
            cp = (cp << 6) | (next & 0x3F);
        }
        if (!valid) {
            out.push_back(U'\uFFFD');
            ++i;
            continue;
        }
        i += extra + 1;
        // One line: line breaks and tabs read as spaces.
        out.push_back(cp == U'\n' || cp == U'\r' || cp == U'\t' ? U' ' : cp);
    }
    return out;
}

// Hex BBGGRRAA; six digits mean opaque.
std::optional<TextFilter::Bgra> ParseColour(const std::string& text) {
    if (text.size() != 8 && text.size() != 6) {
        return std::nullopt;
    }
    uint8_t bytes[4] = {0, 0, 0, 255};
    for (size_t i = 0; i < text.size(); i += 2) {
        int value = 0;
        for (size_t k = i; k < i + 2; ++k) {
            const char c = text[k];
            const int digit = c >= '0' && c <= '9'   ? c - '0'
                              : c >= 'a' && c <= 'f' ? c - 'a' + 10
                              : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                     : -1;
            if (digit < 0) {
                return std::nullopt;
            }
            value = value * 16 + digit;
        }
        bytes[i / 2] = static_cast<uint8_t>(value);
    }
    return TextFilter::Bgra{bytes[0], bytes[1], bytes[2], bytes[3]};
}

// A face that covers Chinese and Latin, found once through fontconfig.
const std::string& CjkFontFile() {
    static const std::string path = [] {
        std::string found;
        if (FcConfig* config = FcInitLoadConfigAndFonts()) {
            FcPattern* pattern =
                FcNameParse(reinterpret_cast<const FcChar8*>("sans-serif:lang=zh-cn"));
            FcConfigSubstitute(config, pattern, FcMatchPattern);
            FcDefaultSubstitute(pattern);
            FcResult result = FcResultNoMatch;
            if (FcPattern* match = FcFontMatch(config, pattern, &result)) {
                FcChar8* file = nullptr;
                if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file) {
                    found = reinterpret_cast<const char*>(file);
                }
                FcPatternDestroy(match);
            }
            FcPatternDestroy(pattern);
            FcConfigDestroy(config);
        }
        return found;
    }();
    return path;
}

bool IsSimplifiedChinese(FT_Face face) {
    const std::string family = face->family_name ? face->family_name : "";
    for (const std::string tag : {" SC", " CN", " GB"}) {
        if (family.size() > tag.size() &&
            family.compare(family.size() - tag.size(), tag.size(), tag) == 0) {
            return true;
        }
    }
    return false;
}

// Collections hold one face per region, and the first is often the Japanese one, which draws
// characters such as 直 differently from what a Chinese audience reads: take the simplified
// Chinese face when there is one.
FT_Face OpenChineseFace(FT_Library library, const std::string& path) {
    FT_Face face = nullptr;
    if (FT_New_Face(library, path.c_str(), 0, &face) != 0) {
        return nullptr;
    }
    const FT_Long count = std::min<FT_Long>(face->num_faces, 32);
    for (FT_Long i = 1; i < count && !IsSimplifiedChinese(face); ++i) {
        FT_Face other = nullptr;
        if (FT_New_Face(library, path.c_str(), i, &other) != 0) {
            continue;
        }
        if (IsSimplifiedChinese(other)) {
            FT_Done_Face(face);
            face = other;
        } else {
            FT_Done_Face(other);
        }
    }
    return face;
}

// Blends `value` towards `target` by alpha/255.
inline uint8_t Mix(uint8_t value, uint8_t target, int alpha) {
    return static_cast<uint8_t>(value + (((target - value) * alpha * 257 + 32768) >> 16));
}

}  // namespace

struct TextFilter::Fonts {
    FT_Library library = nullptr;
    FT_Face chosen = nullptr;    // from "font_file", when it loads
    FT_Face fallback = nullptr;  // the fontconfig CJK face
    std::string chosenPath;

    Fonts() {
        if (FT_Init_FreeType(&library) != 0) {
            library = nullptr;
        }
    }
    ~Fonts() {
        if (chosen) {
            FT_Done_Face(chosen);
        }
        if (fallback) {
            FT_Done_Face(fallback);
        }
        if (library) {
            FT_Done_FreeType(library);
        }
    }
    void Choose(const std::string& path) {
        if (!library) {
            return;
        }
        if (!fallback && !CjkFontFile().empty()) {
            fallback = OpenChineseFace(library, CjkFontFile());
        }
        if (path == chosenPath) {
            return;
        }
        if (chosen) {
            FT_Done_Face(chosen);
            chosen = nullptr;
        }
        chosenPath = path;
        std::error_code error;
        if (!path.empty() && std::filesystem::is_regular_file(path, error)) {
            chosen = OpenChineseFace(library, path);
        }
    }
    // The face that has a glyph for `cp`, and the glyph.
    std::pair<FT_Face, FT_UInt> Glyph(char32_t cp) const {
        for (FT_Face face : {chosen, fallback}) {
            if (face) {
                if (FT_UInt index = FT_Get_Char_Index(face, cp)) {
                    return {face, index};
                }
            }
        }
        FT_Face face = chosen ? chosen : fallback;
        return {face, 0};
    }
};

TextFilter::TextFilter() : fonts_(std::make_unique<Fonts>()) {
    OnParamsChanged();
}
TextFilter::~TextFilter() = default;

void TextFilter::OnParamsChanged() {
    fontSize_ = IntParam("font_size", 36, 6, 256);
    colour_ = ParseColour(StringParam("color", "")).value_or(Bgra{255, 255, 255, 255});
    backColour_ = ParseColour(StringParam("back_color", "")).value_or(Bgra{128, 128, 128, 127});
    for (int v = 0; v < 256; ++v) {
        const auto value = static_cast<uint8_t>(v);
        band_.blue[v] = Mix(value, backColour_.blue, backColour_.alpha);
        band_.green[v] = Mix(value, backColour_.green, backColour_.alpha);
        band_.red[v] = Mix(value, backColour_.red, backColour_.alpha);
    }
    showBack_ = BoolParam("showback", true);
    scroll_ = BoolParam("scroll", true);
    randomColour_ = BoolParam("random_color", false);
    posX_ = IntParam("pos_x", 0, 0, 1000);
    posY_ = IntParam("pos_y", 1000, 0, 1000);
    speed_ = DoubleParam("speed", 0.0, -100000.0, 100000.0);
    RenderIfChanged();
}

int TextFilter::PixelSize() const {
    return std::clamp(static_cast<int>(std::lround(static_cast<double>(fontSize_) * frameHeight_ /
                                                   kDesignHeight)),
                      1, 1024);
}

void TextFilter::Prepare(int width, int height) {
    if (width == frameWidth_ && height == frameHeight_) {
        return;
    }
    scrollX_ = scrollX_ * width / frameWidth_;  // where it was, relative to the picture
    frameWidth_ = width;
    frameHeight_ = height;
    RenderIfChanged();
}

void TextFilter::RenderIfChanged() {
    const std::string text = StringParam("text", "");
    const std::string font = StringParam("font_file", "");
    const int size = PixelSize();
    if (text != renderedText_ || font != renderedFont_ || size != renderedSize_ ||
        lineHeight_ == 0) {
        renderedText_ = text;
        renderedFont_ = font;
        renderedSize_ = size;
        fonts_->Choose(font);
        Render();
    }
}

void TextFilter::Render() {
    textWidth_ = 0;
    lineHeight_ = renderedSize_;
    coverage_.clear();
    int ascender = 0, descender = 0;
    for (FT_Face face : {fonts_->chosen, fonts_->fallback}) {
        if (face && FT_Set_Pixel_Sizes(face, 0, renderedSize_) == 0) {
            ascender = std::max(ascender, static_cast<int>(face->size->metrics.ascender >> 6));
            descender = std::min(descender, static_cast<int>(face->size->metrics.descender >> 6));
        }
    }
    if (ascender - descender > 0) {
        lineHeight_ = ascender - descender;
    }
    const std::vector<char32_t> text = DecodeUtf8(renderedText_);
    std::vector<int> advances;
    for (char32_t cp : text) {
        auto [face, index] = fonts_->Glyph(cp);
        int advance = 0;
        if (face && FT_Load_Glyph(face, index, FT_LOAD_DEFAULT) == 0) {
            advance = static_cast<int>(face->glyph->advance.x >> 6);
        }
        if (textWidth_ + advance > kMaxTextWidth) {
            break;
        }
        advances.push_back(advance);
        textWidth_ += advance;
    }
    coverage_.assign(static_cast<size_t>(textWidth_) * lineHeight_, 0);
    int pen = 0;
    for (size_t i = 0; i < advances.size(); ++i) {
        auto [face, index] = fonts_->Glyph(text[i]);
        if (face && FT_Load_Glyph(face, index, FT_LOAD_RENDER) == 0) {
            const FT_Bitmap& bitmap = face->glyph->bitmap;
            const int left = pen + face->glyph->bitmap_left;
            const int top = ascender - face->glyph->bitmap_top;
            for (int r = 0; r < static_cast<int>(bitmap.rows); ++r) {
                const int y = top + r;
                if (y < 0 || y >= lineHeight_) {
                    continue;
                }
                const uint8_t* src = bitmap.buffer + static_cast<ptrdiff_t>(r) * bitmap.pitch;
                for (int c = 0; c < static_cast<int>(bitmap.width); ++c) {
                    const int x = left + c;
                    if (x < 0 || x >= textWidth_) {
                        continue;
                    }
                    const int value = bitmap.pixel_mode == FT_PIXEL_MODE_MONO
                                          ? ((src[c >> 3] >> (7 - (c & 7))) & 1) * 255
                                          : src[c];
                    uint8_t& cell = coverage_[static_cast<size_t>(y) * textWidth_ + x];
                    cell = std::max<uint8_t>(cell, static_cast<uint8_t>(value));
                }
            }
        }
        pen += advances[i];
    }
}

// Horizontal position of the text's left edge for this frame.
double TextFilter::NextX(const EffectImage& image, double restingX) {
    if (!scroll_ || speed_ == 0.0) {
        moving_ = false;
        return restingX;
    }
    if (!moving_) {
        moving_ = true;
        scrollX_ = restingX;
        lastTimeMs_ = image.timeMs;
    }
    // A clock that steps back (a new capture session) counts as no time passing.
    const int32_t elapsed = std::max<int32_t>(static_cast<int32_t>(image.timeMs - lastTimeMs_), 0);
    lastTimeMs_ = image.timeMs;
    scrollX_ += speed_ * image.width / kDesignWidth * elapsed / 1000.0;
    // Leaving on one side re-enters on the other: positions run over [-textWidth, width).
    const double period = static_cast<double>(image.width) + textWidth_;
    if (scrollX_ >= image.width) {
        scrollX_ = -textWidth_ + std::fmod(scrollX_ - image.width, period);
    } else if (scrollX_ < -textWidth_) {
        scrollX_ = image.width - std::fmod(-textWidth_ - scrollX_, period);
    }
    return scrollX_;
}

TextFilter::Bgra TextFilter::TextColour(uint32_t timeMs) const {
    if (!randomColour_) {
        return colour_;
    }
    // A slow walk round the hue circle, one turn in about seven seconds.
    const double hue = std::fmod(timeMs * 0.05, 360.0) / 60.0;
    const double x = 1.0 - std::fabs(std::fmod(hue, 2.0) - 1.0);
    double r = 0, g = 0, b = 0;
    switch (static_cast<int>(hue)) {
        case 0:
            r = 1, g = x;
            break;
        case 1:
            r = x, g = 1;
            break;
        case 2:
            g = 1, b = x;
            break;
        case 3:
            g = x, b = 1;
            break;
        case 4:
            r = x, b = 1;
            break;
        default:
            r = 1, b = x;
            break;
    }
    auto level = [](double v) { return static_cast<uint8_t>(std::lround(64 + 191 * v)); };
    return {level(b), level(g), level(r), colour_.alpha};
}

void TextFilter::DrawBand(EffectImage& image, int top, int height) const {
    // Rows are stored bottom first: seen rows [top, top + height) are one run in memory.
    const int seenBegin = std::max(top, 0);
    const int seenEnd = std::min(top + height, image.height);
    if (seenBegin < seenEnd) {
        band_.Apply(image, image.height - seenEnd, image.height - seenBegin);
    }
}

void TextFilter::DrawText(EffectImage& image, int left, int top, Bgra colour) const {
    const int firstColumn = std::max(0, -left);
    const int lastColumn = std::min(textWidth_, image.width - left);
    for (int r = 0; r < lineHeight_; ++r) {
        const int seen = top + r;
        if (seen < 0 || seen >= image.height) {
            continue;
        }
        uint8_t* row = image.Row(image.height - 1 - seen);
        const uint8_t* cover = coverage_.data() + static_cast<size_t>(r) * textWidth_;
        for (int c = firstColumn; c < lastColumn; ++c) {
            if (cover[c] == 0) {
                continue;
            }
            const int alpha = (cover[c] * colour.alpha + 127) / 255;
            uint8_t* p = row + (left + c) * 3;
            p[0] = Mix(p[0], colour.blue, alpha);
            p[1] = Mix(p[1], colour.green, alpha);
            p[2] = Mix(p[2], colour.red, alpha);
        }
    }
}

void TextFilter::Process(EffectImage& image) {
    Prepare(image.width, image.height);
    const int padding = std::max(2, renderedSize_ / 6);
    const int bandHeight = lineHeight_ + 2 * padding;
    const int top =
        static_cast<int>(std::lround(posY_ / 1000.0 * std::max(0, image.height - bandHeight)));
    const double restingX = posX_ / 1000.0 * std::max(0, image.width - textWidth_);
    const int left = static_cast<int>(std::floor(NextX(image, restingX)));
    if (showBack_ && backColour_.alpha != 0) {
        DrawBand(image, top, bandHeight);
    }
    if (textWidth_ > 0) {
        DrawText(image, left, top + padding, TextColour(image.timeMs));
    }
}

}  // namespace EM
