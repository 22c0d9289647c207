#pragma once
// The subtitle's four font choices name faces of another system. Each is resolved once, through
// fontconfig, to an installed face of the same style; the program's own font stands in when none
// is installed. Interface thread.

#include <string>

namespace zavreo::effects {

// The font file for list index 0 ("宋体"), 1 ("黑体"), 2 ("华文新魏") or 3 ("微软雅黑"): a
// Song/Ming face, a sans CJK face, a Kai face, a sans CJK face. Empty outside the list.
const std::string& SubtitleFontFile(int index);

// Used when no installed face fits, relative to the program's folder.
inline constexpr const char* kOwnFontFile = "font/fanglan.TTF";

}  // namespace zavreo::effects
