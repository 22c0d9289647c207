#pragma once
// Every resource file the program opens, relative to the resource folder (its working directory
// at run time). The artwork generator draws each of them and a test checks that they exist after
// the build.

#include <QString>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace Resources {

// The resource folder: the program's own folder when the resources lie beside it (as in a build),
// else `installed` taken relative to it (the installed data folder). Falls back to the program's
// folder when neither holds them.
std::filesystem::path Folder(const std::filesystem::path& programFolder,
                             const std::filesystem::path& installed);

// Pictures, frames, sounds, the font and the placeholder, in forward-slash form.
const std::vector<std::string>& AllPaths();

// Bitmap resources are image files named by their resource id.
std::string BitmapPath(int resourceId);
// Bitmap resource ids the program loads.
const std::vector<int>& BitmapIds();

// Accepts the program's ".\images\..." spelling as well as "images/...".
QString LocalPath(std::string_view path);

// The nine sound effects, in pad order (1 to 9).
const std::vector<std::string>& SoundEffects();

struct Decoration {
    const char* name;  // display name: folder and file stem
    int frames;
    int digits;  // frame numbers are zero-padded to this many digits
    int first;   // number of the first frame
};
// The five decorations in decoration-number order (1 to 5).
const std::vector<Decoration>& Decorations();
// "guajian/<name>/<name><number>.png" for frame index 0..frames-1.
std::string DecorationFrame(const Decoration& decoration, int index);

inline constexpr const char* kFontFile = "font/fanglan.TTF";
inline constexpr const char* kPlaceholder = "test.png";

}  // namespace Resources
