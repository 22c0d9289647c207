#include "ImageCodec.h"

#include <fcntl.h>
#include <png.h>
#include <sys/stat.h>
#include <turbojpeg.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iterator>

namespace EM {
namespace {

constexpr int kMaxSide = 16384;
constexpr size_t kMaxFileBytes = 256u << 20;

bool SaneSize(long width, long height, size_t maxPixels = kMaxDecodedPixels) {
    return width > 0 && height > 0 && width <= kMaxSide && height <= kMaxSide &&
           static_cast<size_t>(width) * static_cast<size_t>(height) <= maxPixels;
}

std::optional<DecodedImage> Blank(int width, int height, int channels) {
    DecodedImage image;
    image.width = width;
    image.height = height;
    image.channels = channels;
    image.pixels.assign(static_cast<size_t>(width) * height * channels, 255);
    return image;
}

std::optional<DecodedImage> DecodePng(const uint8_t* data, size_t size, int channels,
                                      size_t maxPixels) {
    png_image png;
    std::memset(&png, 0, sizeof png);
    png.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&png, data, size)) {
        return std::nullopt;
    }
    if (!SaneSize(png.width, png.height, maxPixels)) {
        png_image_free(&png);
        return std::nullopt;
    }
    png.format = channels == 4 ? PNG_FORMAT_BGRA : PNG_FORMAT_BGR;
    auto image = Blank(png.width, png.height, channels);
    const png_color black{0, 0, 0};
    if (!png_image_finish_read(&png, &black, image->pixels.data(), 0, nullptr)) {
        png_image_free(&png);
        return std::nullopt;
    }
    return image;
}

std::optional<DecodedImage> DecodeJpeg(const uint8_t* data, size_t size, int channels,
                                       size_t maxPixels) {
    tjhandle handle = tjInitDecompress();
    if (handle == nullptr) {
        return std::nullopt;
    }
    int width = 0, height = 0, subsampling = 0, colorspace = 0;
    std::optional<DecodedImage> image;
    if (tjDecompressHeader3(handle, data, size, &width, &height, &subsampling, &colorspace) == 0 &&
        SaneSize(width, height, maxPixels)) {
        image = Blank(width, height, channels);
        const int format = channels == 4 ? TJPF_BGRA : TJPF_BGR;
        if (tjDecompress2(handle, data, size, image->pixels.data(), width, 0, height, format,
                          TJFLAG_ACCURATEDCT) != 0 &&
            tjGetErrorCode(handle) == TJERR_FATAL) {
            image.reset();
        }
    }
    tjDestroy(handle);
    return image;
}

uint32_t Le32(const uint8_t* p) {
    return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24;
}
uint16_t Le16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

// Uncompressed BMP with 8 (palette), 24 or 32 bits a pixel, bottom-up or top-down.
std::optional<DecodedImage> DecodeBmp(const uint8_t* data, size_t size, int channels,
                                      size_t maxPixels) {
    if (size < 54) {
        return std::nullopt;
    }
    const uint32_t pixelOffset = Le32(data + 10);
    const uint32_t headerSize = Le32(data + 14);
    if (headerSize < 40 || 14 + static_cast<size_t>(headerSize) > size) {
        return std::nullopt;
    }
    const int32_t width = static_cast<int32_t>(Le32(data + 18));
    const int32_t rawHeight = static_cast<int32_t>(Le32(data + 22));
    const uint16_t bits = Le16(data + 28);
    const uint32_t compression = Le32(data + 30);
    const bool topDown = rawHeight < 0;
    const long height = topDown ? -static_cast<long>(rawHeight) : rawHeight;
    if (!SaneSize(width, height, maxPixels) || (compression != 0 && compression != 3) ||
        (bits != 8 && bits != 24 && bits != 32) || (compression == 3 && bits != 32)) {
        return std::nullopt;
    }
    const size_t rowBytes = ((static_cast<size_t>(width) * bits + 31) / 32) * 4;
    if (pixelOffset > size || rowBytes * height > size - pixelOffset) {
        return std::nullopt;
    }
    const uint8_t* palette = data + 14 + headerSize;
    uint32_t paletteCount = 0;
    if (bits == 8) {
        paletteCount = Le32(data + 46);
        if (paletteCount == 0 || paletteCount > 256) {
            paletteCount = 256;
        }
        if (14 + headerSize + paletteCount * 4 > pixelOffset) {
            return std::nullopt;
        }
    }
    auto image = Blank(width, static_cast<int>(height), channels);
    for (long y = 0; y < height; ++y) {
        const uint8_t* src = data + pixelOffset + rowBytes * (topDown ? y : height - 1 - y);
        uint8_t* dst = image->pixels.data() + static_cast<size_t>(y) * width * channels;
        for (int x = 0; x < width; ++x, dst += channels) {
            const uint8_t* px = nullptr;
            if (bits == 8) {
                const uint8_t index = src[x];
                px = index < paletteCount ? palette + index * 4 : palette;
            } else {
                px = src + x * (bits / 8);
            }
            dst[0] = px[0];
            dst[1] = px[1];
            dst[2] = px[2];
        }
    }
    return image;
}

bool HasExtension(const std::string& path, std::initializer_list<const char*> extensions) {
    std::string ext = std::filesystem::path(path).extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return std::tolower(c); });
    return std::any_of(extensions.begin(), extensions.end(),
                       [&](const char* e) { return ext == e; });
}

bool WriteJpeg(const std::string& path, const uint8_t* bgr, int width, int height, int stride) {
    tjhandle handle = tjInitCompress();
    if (handle == nullptr) {
        return false;
    }
    unsigned char* jpeg = nullptr;
    unsigned long jpegSize = 0;
    bool ok = tjCompress2(handle, bgr, width, stride, height, TJPF_BGR, &jpeg, &jpegSize,
                          TJSAMP_420, 92, TJFLAG_ACCURATEDCT) == 0;
    if (ok) {
        std::FILE* file = std::fopen(path.c_str(), "wb");
        ok = file != nullptr && std::fwrite(jpeg, 1, jpegSize, file) == jpegSize;
        if (file != nullptr) {
            ok = std::fclose(file) == 0 && ok;
        }
    }
    tjFree(jpeg);
    tjDestroy(handle);
    return ok;
}

bool WritePng(const std::string& path, const uint8_t* bgr, int width, int height, int stride) {
    png_image png;
    std::memset(&png, 0, sizeof png);
    png.version = PNG_IMAGE_VERSION;
    png.width = width;
    png.height = height;
    png.format = PNG_FORMAT_BGR;
    return png_image_write_to_file(&png, path.c_str(), 0, bgr, stride, nullptr) != 0;
}

}  // namespace

std::optional<DecodedImage> DecodeImageBytes(const uint8_t* data, size_t size, int channels,
                                             size_t maxPixels) {
    if (data == nullptr || (channels != 3 && channels != 4)) {
        return std::nullopt;
    }
    if (size >= 8 && std::memcmp(data, "\x89PNG\r\n\x1a\n", 8) == 0) {
        return DecodePng(data, size, channels, maxPixels);
    }
    if (size >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF) {
        return DecodeJpeg(data, size, channels, maxPixels);
    }
    if (size >= 2 && data[0] == 'B' && data[1] == 'M') {
        return DecodeBmp(data, size, channels, maxPixels);
    }
    return std::nullopt;
}

std::optional<DecodedImage> DecodeImageFile(const std::string& path, int channels,
                                            size_t maxPixels) {
    // Only plain files, checked on the opened file itself: a pipe or a device named in a
    // parameter (or put in a picture's place after a check by name) could block for ever.
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        return std::nullopt;
    }
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size < 0 ||
        static_cast<size_t>(info.st_size) > kMaxFileBytes) {
        close(fd);
        return std::nullopt;
    }
    std::vector<uint8_t> bytes(static_cast<size_t>(info.st_size));
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t got = read(fd, bytes.data() + done, bytes.size() - done);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            break;
        }
        done += static_cast<size_t>(got);
    }
    close(fd);
    if (done != bytes.size()) {
        return std::nullopt;
    }
    return DecodeImageBytes(bytes.data(), bytes.size(), channels, maxPixels);
}

bool EncodeImageFile(const std::string& path, const uint8_t* bgr, int width, int height,
                     int stride) {
    if (bgr == nullptr || !SaneSize(width, height) || stride < width * 3) {
        return false;
    }
    const bool jpeg = HasExtension(path, {".jpg", ".jpeg"});
    if (!jpeg && !HasExtension(path, {".png"})) {
        return false;
    }
    const std::string temporary = path + ".part";
    const bool written = jpeg ? WriteJpeg(temporary, bgr, width, height, stride)
                              : WritePng(temporary, bgr, width, height, stride);
    std::error_code error;
    if (written) {
        std::filesystem::rename(temporary, path, error);
        if (!error) {
            return true;
        }
    }
    std::filesystem::remove(temporary, error);
    return false;
}

}  // namespace EM
