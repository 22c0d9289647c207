#pragma once
// Decoding and encoding of image files for the engine. Decoders check every size they read, so a
// truncated or hostile file gives nullopt, never a crash.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace EM {

struct DecodedImage {
    int width = 0;
    int height = 0;
    int channels = 0;             // 3: BGR, 4: BGRA (straight alpha)
    std::vector<uint8_t> pixels;  // top row first, width * channels bytes a row
};

constexpr size_t kMaxDecodedPixels = size_t{16384} * 16384;

// JPEG, PNG or BMP, recognised by content. `channels` is 3 or 4; without alpha in the file,
// alpha is 255. A picture of more than `maxPixels` is refused before its pixels take memory.
std::optional<DecodedImage> DecodeImageFile(const std::string& path, int channels,
                                            size_t maxPixels = kMaxDecodedPixels);
std::optional<DecodedImage> DecodeImageBytes(const uint8_t* data, size_t size, int channels,
                                             size_t maxPixels = kMaxDecodedPixels);

// Writes BGR rows (top row first) as JPEG or PNG by the path's extension, through a temporary
// file renamed into place, so a failed write leaves no partial file.
bool EncodeImageFile(const std::string& path, const uint8_t* bgr, int width, int height,
                     int stride);

}  // namespace EM
