#pragma once
// The small preview JPEG a camera stores in a photo's Exif block (the second image directory's
// JPEGInterchangeFormat and JPEGInterchangeFormatLength). The photo is untrusted: every offset is
// checked against the segment it lies in, and anything unexpected means "no preview".
//
// Threads: any thread; nothing is shared.

#include <string_view>

namespace zavreo {

// The preview's bytes inside `jpeg` (starting with the JPEG start marker), or empty when there is
// none or the Exif block is malformed.
std::string_view FindExifPreview(std::string_view jpeg);

}  // namespace zavreo
