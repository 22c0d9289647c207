#include "SubtitleFonts.h"

#include <fontconfig/fontconfig.h>

#include <array>
#include <vector>

namespace zavreo::effects {
namespace {

// Families to look for, best first, per choice. 黑体 and 微软雅黑 start with different faces so
// the two choices draw differently.
const std::array<std::vector<const char*>, 4> kFamilies = {{
    {"Noto Serif CJK SC", "Source Han Serif SC", "AR PL UMing CN", "AR PL SungtiL GB"},
    {"Noto Sans CJK SC", "Source Han Sans SC", "WenQuanYi Zen Hei", "WenQuanYi Micro Hei"},
    {"AR PL UKai CN", "AR PL KaitiM GB", "AR PL UKai TW"},
    {"WenQuanYi Micro Hei", "Noto Sans CJK SC", "Source Han Sans SC", "WenQuanYi Zen Hei"},
}};

bool HasFamily(FcPattern* font, const char* family) {
    FcChar8* name = nullptr;
    for (int i = 0; FcPatternGetString(font, FC_FAMILY, i, &name) == FcResultMatch; ++i) {
        if (FcStrCmpIgnoreCase(name, reinterpret_cast<const FcChar8*>(family)) == 0) {
            return true;
        }
    }
    return false;
}

// The file of an installed face of `family` with Chinese glyphs, or empty.
std::string FindFamily(FcConfig* config, const char* family) {
    std::string found;
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family));
    FcPatternAddString(pattern, FC_LANG, reinterpret_cast<const FcChar8*>("zh-cn"));
    FcConfigSubstitute(config, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    // fontconfig always answers with its nearest face: it counts only when it is that family.
    if (FcPattern* match = FcFontMatch(config, pattern, &result)) {
        FcChar8* file = nullptr;
        if (HasFamily(match, family) &&
            FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file) {
            found = reinterpret_cast<const char*>(file);
        }
        FcPatternDestroy(match);
    }
    FcPatternDestroy(pattern);
    return found;
}

std::array<std::string, 4> ResolveAll() {
    std::array<std::string, 4> files;
    FcConfig* config = FcInitLoadConfigAndFonts();
    for (size_t i = 0; i < files.size(); ++i) {
        for (const char* family : kFamilies[i]) {
            if (config) {
                files[i] = FindFamily(config, family);
            }
            if (!files[i].empty()) {
                break;
            }
        }
        if (files[i].empty()) {
            files[i] = kOwnFontFile;
        }
    }
    if (config) {
        FcConfigDestroy(config);
    }
    return files;
}

}  // namespace

const std::string& SubtitleFontFile(int index) {
    static const std::array<std::string, 4> files = ResolveAll();
    static const std::string none;
    return index >= 0 && index < 4 ? files[static_cast<size_t>(index)] : none;
}

}  // namespace zavreo::effects
