#pragma once
// Text as the program meets it in users' files and replies: LRC files, ID3v1 tags and settings
// written by older versions are often GBK or GB18030, and a server may send broken UTF-8.
// Everything leaves here as valid UTF-8. Safe on any thread.

#include <cstddef>
#include <string>
#include <string_view>

namespace zavreo {

bool IsValidUtf8(std::string_view bytes);

// Every invalid sequence becomes U+FFFD; valid text is returned unchanged.
std::string RepairUtf8(std::string_view bytes);

// Valid UTF-8 is kept; anything else is read as GB18030 (a superset of GBK), and what even that
// cannot read becomes U+FFFD.
std::string TextToUtf8(std::string_view bytes);

// Number of code points of valid UTF-8 text.
std::size_t CharacterCount(std::string_view utf8);

}  // namespace zavreo
