#include "PictureFile.h"

#include <turbojpeg.h>

#include <QBuffer>
#include <QByteArray>
#include <QImageReader>
#include <QPainter>
#include <QTransform>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "EffectManager.h"
#include "ExifBlock.h"
#include "SharedFrame.h"
#include "UserFileReader.h"

namespace zavreo {
namespace {

bool AcceptableSize(long width, long height) {
    return width > 0 && height > 0 &&
           static_cast<std::size_t>(width) * static_cast<std::size_t>(height) <= kMaxPicturePixels;
}

bool IsJpeg(const std::string& bytes) {
    return bytes.size() > 3 && static_cast<uint8_t>(bytes[0]) == 0xFF &&
           static_cast<uint8_t>(bytes[1]) == 0xD8;
}

// The scale that decodes the fewest pixels while keeping at least `atLeast`.
tjscalingfactor ChooseScale(int width, int height, QSize atLeast) {
    const int needWidth = std::min(width, atLeast.width());
    const int needHeight = std::min(height, atLeast.height());
    int count = 0;
    const tjscalingfactor* factors = tjGetScalingFactors(&count);
    tjscalingfactor best{1, 1};
    long long bestPixels = static_cast<long long>(width) * height;
    for (int i = 0; factors != nullptr && i < count; ++i) {
        const tjscalingfactor f = factors[i];
        if (f.num > f.denom) {
            continue;
        }
        const int w = TJSCALED(width, f);
        const int h = TJSCALED(height, f);
        if (w >= needWidth && h >= needHeight && static_cast<long long>(w) * h < bestPixels) {
            best = f;
            bestPixels = static_cast<long long>(w) * h;
        }
    }
    return best;
}

using JpegDecoder = std::unique_ptr<void, int (*)(tjhandle)>;

std::optional<QSize> JpegSize(tjhandle handle, std::string_view jpeg) {
    int width = 0, height = 0, subsampling = 0, colorspace = 0;
    if (tjDecompressHeader3(handle, reinterpret_cast<const unsigned char*>(jpeg.data()),
                            jpeg.size(), &width, &height, &subsampling, &colorspace) != 0 ||
        !AcceptableSize(width, height)) {
        return std::nullopt;
    }
    return QSize(width, height);
}

// Decodes `jpeg` (of `size`) at the smallest scale keeping `atLeast`. A truncated file still
// gives its decoded part (the rest stays grey) unless `complete` asks for a flawless decode.
QImage DecodeScaled(tjhandle handle, std::string_view jpeg, QSize size, QSize atLeast,
                    bool complete) {
    const tjscalingfactor scale = ChooseScale(size.width(), size.height(), atLeast);
    QImage image(TJSCALED(size.width(), scale), TJSCALED(size.height(), scale),
                 QImage::Format_BGR888);
    if (image.isNull()) {
        return {};
    }
    image.fill(QColor(128, 128, 128));
    if (tjDecompress2(handle, reinterpret_cast<const unsigned char*>(jpeg.data()), jpeg.size(),
                      image.bits(), image.width(), static_cast<int>(image.bytesPerLine()),
                      image.height(), TJPF_BGR, 0) != 0 &&
        (complete || tjGetErrorCode(handle) == TJERR_FATAL)) {
        return {};
    }
    return image;
}

// The camera's preview stands in for the photo when it has the photo's shape (not letterboxed)
// and at least the pixels that would be decoded from the photo itself.
bool PreviewServes(QSize preview, QSize picture, QSize atLeast) {
    const long long previewCross = static_cast<long long>(preview.width()) * picture.height();
    const long long pictureCross = static_cast<long long>(picture.width()) * preview.height();
    const bool sameShape = std::llabs(previewCross - pictureCross) * 50 <= pictureCross;
    return sameShape && preview.width() < picture.width() &&
           preview.width() >= std::min(picture.width(), atLeast.width()) &&
           preview.height() >= std::min(picture.height(), atLeast.height());
}

// The camera's preview of a photo of `pictureSize`, or a null image when it does not serve or is
// flawed in any way. It has a decoder of its own: one that failed on a header is not reusable.
QImage DecodePreview(std::string_view preview, QSize pictureSize, QSize atLeast) {
    if (preview.empty()) {
        return {};
    }
    const JpegDecoder handle(tjInitDecompress(), tjDestroy);
    if (!handle) {
        return {};
    }
    const std::optional<QSize> size = JpegSize(handle.get(), preview);
    if (!size || !PreviewServes(*size, pictureSize, atLeast)) {
        return {};
    }
    return DecodeScaled(handle.get(), preview, *size, atLeast, true);
}

// Turns a picture stored as the camera held it into the way it is to be seen.
QImage Upright(const QImage& stored, int orientation) {
    QTransform turn;
    switch (orientation) {
        case 3:
            turn.rotate(180);
            break;
        case 5:
        case 6:
        case 7:
            turn.rotate(90);
            break;
        case 8:
            turn.rotate(270);
            break;
        default:
            break;
    }
    QImage upright = turn.isIdentity() ? stored : stored.transformed(turn);
    const bool mirror = orientation == 2 || orientation == 5;
    const bool flip = orientation == 4 || orientation == 7;
    if (mirror || flip) {
        upright = upright.mirrored(mirror, flip);
    }
    return upright.convertToFormat(QImage::Format_BGR888);
}

QImage DecodeJpeg(const std::string& bytes, QSize atLeast) {
    const JpegDecoder handle(tjInitDecompress(), tjDestroy);
    if (!handle) {
        return {};
    }
    const std::optional<QSize> size = JpegSize(handle.get(), bytes);
    if (!size) {
        return {};
    }
    const ExifBlock exif = ReadExifBlock(bytes);
    // The picture is decoded as stored; one seen on its side needs the asked size turned too.
    const QSize storedAtLeast = exif.orientation >= 5 ? atLeast.transposed() : atLeast;
    // Decoding a whole large photo even at 1/8 scale costs its full entropy decoding; the
    // preview is a fraction of that.
    QImage picture = DecodePreview(exif.preview, *size, storedAtLeast);
    if (picture.isNull()) {
        picture = DecodeScaled(handle.get(), bytes, *size, storedAtLeast, false);
    }
    return picture.isNull() ? picture : Upright(picture, exif.orientation);
}

QImage DecodeOther(const std::string& bytes, QColor background) {
    QByteArray data = QByteArray::fromRawData(bytes.data(), static_cast<qsizetype>(bytes.size()));
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    const QSize size = reader.size();
    if (!AcceptableSize(size.width(), size.height())) {
        return {};
    }
    const QImage decoded = reader.read();
    if (decoded.isNull()) {
        return {};
    }
    if (!decoded.hasAlphaChannel()) {
        return decoded.convertToFormat(QImage::Format_BGR888);
    }
    QImage flat(decoded.size(), QImage::Format_BGR888);
    flat.fill(background);
    QPainter painter(&flat);
    painter.drawImage(0, 0, decoded);
    painter.end();
    return flat;
}

}  // namespace

QImage DecodePicture(const std::filesystem::path& path, QSize atLeast, QColor background) {
    const std::optional<std::string> bytes = ReadRegularFile(path, kMaxPictureFileBytes);
    if (!bytes || bytes->empty()) {
        return {};
    }
    return IsJpeg(*bytes) ? DecodeJpeg(*bytes, atLeast) : DecodeOther(*bytes, background);
}

QImage MakeThumbnail(const std::filesystem::path& path) {
    const QColor grey(128, 128, 128);
    const QImage picture = DecodePicture(path, QSize(kThumbnailSide, kThumbnailSide), grey);
    if (picture.isNull()) {
        return {};
    }
    return picture
        .scaled(kThumbnailSide, kThumbnailSide, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
        .convertToFormat(QImage::Format_RGB888);
}

bool RenderSlide(const std::filesystem::path& path, uint8_t* frame) {
    QImage picture = DecodePicture(path, QSize(kFrameWidth, kFrameHeight), Qt::black);
    if (picture.isNull()) {
        return false;
    }
    EM::EffectImage source;
    source.pixels = picture.bits();
    source.width = picture.width();
    source.height = picture.height();
    source.stride = static_cast<int32_t>(picture.bytesPerLine());
    EM::EffectImage fitted;
    fitted.pixels = frame;
    fitted.width = kFrameWidth;
    fitted.height = kFrameHeight;
    fitted.stride = kFrameStride;
    return EM::Helper::ResizeKeepRatio(&source, &fitted) && EM::Helper::Hflip(&fitted);
}

}  // namespace zavreo
