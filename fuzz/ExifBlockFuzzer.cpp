// A photo's leading bytes as anything: the preview found must lie inside them and start like a
// JPEG, the orientation must be one of the eight; AddressSanitizer catches any read outside.

#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "ExifBlock.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view jpeg(reinterpret_cast<const char*>(data), size);
    const zavreo::ExifBlock block = zavreo::ReadExifBlock(jpeg);
    const std::string_view preview = block.preview;
    if (block.orientation < 1 || block.orientation > 8) {
        std::abort();
    }
    if (!preview.empty() &&
        (preview.data() < jpeg.data() || preview.data() + preview.size() > jpeg.data() + size ||
         preview.size() < 4 || static_cast<uint8_t>(preview[0]) != 0xFF ||
         static_cast<uint8_t>(preview[1]) != 0xD8)) {
        std::abort();
    }
    return 0;
}
