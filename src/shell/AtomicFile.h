#pragma once
// Replacing user files without ever leaving a half-written one behind: the new text goes to a
// temporary file in the same folder, is flushed to disk and then renamed over the old file, so a
// reader (or the next start after a crash or a full disk) sees either the old file or the new one.

#include <filesystem>
#include <string_view>

namespace zavreo {

// Returns false, leaving any old file untouched, when the folder cannot be written.
bool WriteFileAtomically(const std::filesystem::path& path, std::string_view contents);

}  // namespace zavreo
