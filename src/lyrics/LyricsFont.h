#pragma once
// The face of the desktop lyrics: "幼圆" when installed, else what fontconfig offers for it among
// the installed Chinese faces (a rounded or sans face). Interface thread.

#include <QFont>
#include <QString>

namespace zavreo {

QString LyricsFontFamily();

// Bold, `pixelSize` pixels high.
QFont LyricsFont(int pixelSize);

}  // namespace zavreo
