#pragma once
// What a camera records in a photo's Exif block that the pictures need: the small preview JPEG
// (the second image directory's JPEGInterchangeFormat and JPEGInterchangeFormatLength) and the
// orientation the photo is to be shown in (the first directory's Orientation). The photo is
// untrusted: every offset is checked against the segment it lies in, and anything unexpected
// means "no preview" and "upright".
//
// Threads: any thread; nothing is shared.

#include <string_view>

namespace zavreo {

struct ExifBlock {
    // The preview's bytes inside the photo (starting with the JPEG start marker), or empty.
    std::string_view preview;
    // 1 to 8 as Exif numbers them; 1 is upright, 5 to 8 turn the picture on its side.
    int orientation = 1;
};

ExifBlock ReadExifBlock(std::string_view jpeg);

}  // namespace zavreo
