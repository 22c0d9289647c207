#include "ExifBlock.h"

#include <cstddef>
#include <cstdint>
#include <optional>

namespace zavreo {
namespace {

constexpr uint8_t kMarkerApp1 = 0xE1;
constexpr uint8_t kMarkerStartOfScan = 0xDA;
constexpr uint8_t kMarkerEndOfImage = 0xD9;
constexpr uint16_t kTiffMagic = 42;
constexpr uint16_t kTagOrientation = 0x0112;
constexpr uint16_t kTagPreviewOffset = 0x0201;
constexpr uint16_t kTagPreviewLength = 0x0202;
constexpr uint16_t kTypeShort = 3;
constexpr uint16_t kTypeLong = 4;
constexpr std::size_t kIfdEntryBytes = 12;

uint8_t Byte(std::string_view data, std::size_t at) {
    return static_cast<uint8_t>(data[at]);
}

// Reads the TIFF structure in its own byte order; nullopt for anything past the end.
class TiffReader {
public:
    TiffReader(std::string_view tiff, bool littleEndian) : tiff_(tiff), little_(littleEndian) {}

    std::optional<uint16_t> U16(std::size_t at) const {
        if (at > tiff_.size() || tiff_.size() - at < 2) {
            return std::nullopt;
        }
        const uint16_t a = Byte(tiff_, at), b = Byte(tiff_, at + 1);
        return little_ ? static_cast<uint16_t>(a | b << 8) : static_cast<uint16_t>(a << 8 | b);
    }
    std::optional<uint32_t> U32(std::size_t at) const {
        const std::optional<uint16_t> first = U16(at);
        const std::optional<uint16_t> second = U16(at + 2);
        if (!first || !second) {
            return std::nullopt;
        }
        return little_ ? (uint32_t{*second} << 16 | *first) : (uint32_t{*first} << 16 | *second);
    }
    // The single SHORT or LONG value of the directory entry at `entry`.
    std::optional<uint32_t> Value(std::size_t entry) const {
        const std::optional<uint16_t> type = U16(entry + 2);
        const std::optional<uint32_t> count = U32(entry + 4);
        if (!type || count != 1u) {
            return std::nullopt;
        }
        if (*type == kTypeLong) {
            return U32(entry + 8);
        }
        if (*type == kTypeShort) {
            return U16(entry + 8);
        }
        return std::nullopt;
    }

private:
    std::string_view tiff_;
    bool little_;
};

// The single value of `tag` in the directory at `ifd` of `count` entries.
std::optional<uint32_t> TagValue(const TiffReader& reader, std::size_t ifd, uint16_t count,
                                 uint16_t tag) {
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t entry = ifd + 2 + kIfdEntryBytes * i;
        const std::optional<uint16_t> found = reader.U16(entry);
        if (!found) {
            return std::nullopt;
        }
        if (*found == tag) {
            return reader.Value(entry);
        }
    }
    return std::nullopt;
}

// Reads the Exif payload of an APP1 segment; nullopt when it is not one.
std::optional<ExifBlock> BlockInApp1(std::string_view app1) {
    constexpr std::string_view kExifHeader("Exif\0\0", 6);
    if (!app1.starts_with(kExifHeader)) {
        return std::nullopt;
    }
    const std::string_view tiff = app1.substr(kExifHeader.size());
    if (!tiff.starts_with("II") && !tiff.starts_with("MM")) {
        return std::nullopt;
    }
    const TiffReader reader(tiff, tiff[0] == 'I');
    const std::optional<uint32_t> firstIfd = reader.U32(4);
    if (reader.U16(2) != kTiffMagic || !firstIfd) {
        return std::nullopt;
    }
    const std::optional<uint16_t> firstCount = reader.U16(*firstIfd);
    if (!firstCount) {
        return std::nullopt;
    }
    ExifBlock block;
    const std::optional<uint32_t> orientation =
        TagValue(reader, *firstIfd, *firstCount, kTagOrientation);
    if (orientation && *orientation >= 1 && *orientation <= 8) {
        block.orientation = static_cast<int>(*orientation);
    }
    const std::optional<uint32_t> secondIfd =
        reader.U32(std::size_t{*firstIfd} + 2 + kIfdEntryBytes * *firstCount);
    if (!secondIfd || *secondIfd == 0) {
        return block;
    }
    const std::optional<uint16_t> secondCount = reader.U16(*secondIfd);
    if (!secondCount) {
        return block;
    }
    const std::optional<uint32_t> offset =
        TagValue(reader, *secondIfd, *secondCount, kTagPreviewOffset);
    const std::optional<uint32_t> length =
        TagValue(reader, *secondIfd, *secondCount, kTagPreviewLength);
    if (!offset || !length || *offset > tiff.size() || *length > tiff.size() - *offset) {
        return block;
    }
    const std::string_view preview = tiff.substr(*offset, *length);
    if (preview.size() >= 4 && Byte(preview, 0) == 0xFF && Byte(preview, 1) == 0xD8) {
        block.preview = preview;
    }
    return block;
}

}  // namespace

ExifBlock ReadExifBlock(std::string_view jpeg) {
    if (jpeg.size() < 4 || Byte(jpeg, 0) != 0xFF || Byte(jpeg, 1) != 0xD8) {
        return {};
    }
    std::size_t at = 2;
    // The metadata segments come before the first scan; each is FF, marker, 16-bit big-endian
    // length that counts itself.
    while (jpeg.size() - at >= 4) {
        if (Byte(jpeg, at) != 0xFF) {
            return {};
        }
        const uint8_t marker = Byte(jpeg, at + 1);
        if (marker == 0xFF) {
            ++at;
            continue;
        }
        if (marker == kMarkerStartOfScan || marker == kMarkerEndOfImage) {
            return {};
        }
        const std::size_t length = std::size_t{Byte(jpeg, at + 2)} << 8 | Byte(jpeg, at + 3);
        if (length < 2 || length > jpeg.size() - at - 2) {
            return {};
        }
        if (marker == kMarkerApp1) {
            if (const std::optional<ExifBlock> block =
                    BlockInApp1(jpeg.substr(at + 4, length - 2))) {
                return *block;
            }
        }
        at += 2 + length;
    }
    return {};
}

}  // namespace zavreo
