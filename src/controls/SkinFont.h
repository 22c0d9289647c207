#pragma once
// The program's own font file, registered with Qt once, and the skin's fonts made from it.

#include <QFont>
#include <QString>

namespace SkinFont {

// Registers font/fanglan.TTF (relative to the working directory) on first use and makes the face
// names the windows give ("fanglan", its file path) resolve to it. Returns its family name, or an
// installed CJK family when the file is missing. User-interface thread.
QString Family();

// A font of the skin: pixel height and weight (400 normal, 600 semi-bold) as the windows give them.
QFont Make(int pixelHeight, int weight);

}  // namespace SkinFont
