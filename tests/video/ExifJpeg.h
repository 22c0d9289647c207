#pragma once
// Photos as cameras write them: an Exif APP1 segment right after the start marker whose first
// image directory gives the orientation and whose second points at a preview JPEG stored inside
// the segment.

#include <cstdint>
#include <string>

// Where the TIFF structure starts in the result of WithExifPreview, and how many bytes of
// directories precede the preview.
inline constexpr std::size_t kExifTiffStart = 12;
inline constexpr std::size_t kExifDirectoryBytes = 68;
// Where the preview's length (a 32-bit value in the file's byte order) stands in that result.
inline constexpr std::size_t kExifPreviewLengthAt = kExifTiffStart + 60;

inline std::string WithExifPreview(const std::string& jpeg, const std::string& preview,
                                   bool bigEndian = false, uint16_t orientation = 1) {
    std::string tiff;
    const auto u16 = [&](uint32_t v) {
        const char hi = static_cast<char>(v >> 8 & 0xFF), lo = static_cast<char>(v & 0xFF);
        tiff += bigEndian ? std::string{hi, lo} : std::string{lo, hi};
    };
    const auto u32 = [&](uint32_t v) {
        if (bigEndian) {
            u16(v >> 16);
            u16(v & 0xFFFF);
        } else {
            u16(v & 0xFFFF);
            u16(v >> 16);
        }
    };
    const auto entry = [&](uint16_t tag, uint16_t type, uint32_t value) {
        u16(tag);
        u16(type);
        u32(1);
        if (type == 3) {
            u16(value);
            u16(0);
        } else {
            u32(value);
        }
    };
    tiff += bigEndian ? "MM" : "II";
    u16(42);
    u32(8);
    // The main image's directory: its orientation, then the offset of the next directory.
    u16(1);
    entry(0x0112, 3, orientation);
    u32(26);
    // The preview's directory: JPEG compression, where the preview is and how long it is.
    u16(3);
    entry(0x0103, 3, 6);
    entry(0x0201, 4, kExifDirectoryBytes);
    entry(0x0202, 4, static_cast<uint32_t>(preview.size()));
    u32(0);
    tiff += preview;

    const std::string payload = std::string("Exif\0\0", 6) + tiff;
    const std::size_t length = payload.size() + 2;
    std::string segment{'\xFF', '\xE1', static_cast<char>(length >> 8),
                        static_cast<char>(length & 0xFF)};
    return jpeg.substr(0, 2) + segment + payload + jpeg.substr(2);
}
