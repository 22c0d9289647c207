#include "LyricsFont.h"

#include <fontconfig/fontconfig.h>

namespace zavreo {

QString LyricsFontFamily() {
    static const QString family = [] {
        QString found = QStringLiteral("sans-serif");
        FcConfig* config = FcInitLoadConfigAndFonts();
        if (config == nullptr) {
            return found;
        }
        FcPattern* pattern = FcNameParse(
            reinterpret_cast<const FcChar8*>("幼圆,YouYuan,sans-serif:lang=zh-cn:weight=bold"));
        FcConfigSubstitute(config, pattern, FcMatchPattern);
        FcDefaultSubstitute(pattern);
        FcResult result = FcResultNoMatch;
        if (FcPattern* match = FcFontMatch(config, pattern, &result)) {
            FcChar8* name = nullptr;
            if (FcPatternGetString(match, FC_FAMILY, 0, &name) == FcResultMatch && name) {
                found = QString::fromUtf8(reinterpret_cast<const char*>(name));
            }
            FcPatternDestroy(match);
        }
        FcPatternDestroy(pattern);
        FcConfigDestroy(config);
        return found;
    }();
    return family;
}

QFont LyricsFont(int pixelSize) {
    QFont font(LyricsFontFamily());
    font.setPixelSize(pixelSize);
    font.setBold(true);
    return font;
}

}  // namespace zavreo
