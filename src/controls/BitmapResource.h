#pragma once
// Loads a bitmap resource (an image file named by its id) and makes its transparent form.

#include <QPixmap>

namespace BitmapResource {

// Null when the file is missing or does not decode.
QPixmap Load(int resourceId);
// The pixels of the top-left pixel's colour become transparent.
QPixmap TransparentByCorner(const QPixmap& bitmap);

}  // namespace BitmapResource
