#include "BitmapResource.h"

#include <QBitmap>
#include <QImage>

#include "ResourcePaths.h"

namespace BitmapResource {

QPixmap Load(int resourceId) {
    return QPixmap(QString::fromStdString(Resources::BitmapPath(resourceId)));
}

QPixmap TransparentByCorner(const QPixmap& bitmap) {
    if (bitmap.isNull()) {
        return bitmap;
    }
    QImage image = bitmap.toImage().convertToFormat(QImage::Format_ARGB32);
    const QRgb key = image.pixel(0, 0) | 0xFF000000u;
    for (int y = 0; y < image.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if ((row[x] | 0xFF000000u) == key) {
                row[x] = 0;
            }
        }
    }
    return QPixmap::fromImage(image);
}

}  // namespace BitmapResource
