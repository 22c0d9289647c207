#pragma once
// Decoding the user's pictures for the thumbnails and the slideshow. Pictures are untrusted:
// only regular files of bounded size are read (never a FIFO or a device), and a picture that is
// corrupt, empty or larger than kMaxPicturePixels gives a null image instead of a crash, a hang
// or a huge allocation. JPEGs are decoded at a reduced scale when the result needs fewer pixels,
// or from the preview a camera embeds in the photo's Exif block when that preview is big enough,
// and turned the way that block says the photo is to be seen.
//
// Threads: any thread; nothing is shared.

#include <QColor>
#include <QImage>
#include <QSize>
#include <cstddef>
#include <cstdint>
#include <filesystem>

namespace zavreo {

inline constexpr std::size_t kMaxPicturePixels = 100'000'000;
inline constexpr std::size_t kMaxPictureFileBytes = std::size_t{128} << 20;
inline constexpr int kThumbnailSide = 85;

// The picture as BGR (QImage::Format_BGR888), transparent parts laid over `background`. A JPEG
// comes at the smallest scale that is still at least `atLeast` (or its full size when smaller);
// that may be its embedded preview.
QImage DecodePicture(const std::filesystem::path& path, QSize atLeast, QColor background);

// The 85 x 85 thumbnail: the whole picture stretched over grey, aspect ratio not kept.
QImage MakeThumbnail(const std::filesystem::path& path);

// The slideshow frame: the picture fitted into 640 x 480 keeping its aspect ratio, black around
// it, stored bottom row first (921600 bytes into `frame`). False when it cannot be decoded.
bool RenderSlide(const std::filesystem::path& path, uint8_t* frame);

}  // namespace zavreo
