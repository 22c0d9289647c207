#pragma once
// Replacing user files without ever leaving a half-written one behind: the new text goes to a
// temporary file in the same folder, is flushed to disk and then renamed over the old file, so a
// reader (or the next start after a crash or a full disk) sees either the old file or the new one.

#include <chrono>
#include <filesystem>
#include <string_view>
#include <vector>

namespace zavreo {

// Temporary files of a save older than this were left by a save that was cut off.
inline constexpr std::chrono::seconds kStaleTemporaryAge{60};

// Returns false, leaving any old file untouched, when the folder cannot be written. A new file
// gets mode 0600; a replaced one keeps its mode, with the owner's read and write added. Temporary
// files that earlier, cut-off saves of this file left behind are removed.
//
// A file marked with KeepBeforeReplacing is first moved to "<name>.unreadable" (replacing an older
// copy there); when that fails nothing is written.
bool WriteFileAtomically(const std::filesystem::path& path, std::string_view contents);

// A user file that exists but could not be read whole (unreadable, over the reader's limit,
// damaged) must not be lost to the next save: the first replacement in this run keeps it beside,
// as one copy. Called by the readers; a missing file is not marked. Returns whether it was.
inline constexpr char kUnreadableSuffix[] = ".unreadable";
bool KeepBeforeReplacing(const std::filesystem::path& path);

// The files marked and not yet replaced, in the order they were marked.
std::vector<std::filesystem::path> FilesToKeep();

}  // namespace zavreo
