#pragma once
// Replacing user files without ever leaving a half-written one behind: the new text goes to a
// temporary file in the same folder, is flushed to disk and then renamed over the old file, so a
// reader (or the next start after a crash or a full disk) sees either the old file or the new one.
//
// What the program cannot read whole, or cannot write back whole, is kept beside as a numbered
// copy before it is ever replaced. Files read and replaced on any thread.

#include <chrono>
#include <filesystem>
#include <string_view>
#include <vector>

namespace zavreo {

// Temporary files of a save older than this were left by a save that was cut off.
inline constexpr std::chrono::seconds kStaleTemporaryAge{60};

// Returns false, leaving any old file untouched, when the folder cannot be written or the file
// must not be replaced (below). A new file gets mode 0600; a replaced one keeps its mode, with the
// owner's read and write added. Temporary files that earlier, cut-off saves of this file left
// behind are removed.
//
// A symbolic link to a regular file of this user is written through: its target is replaced
// atomically in the target's folder and the link stays. A link to anything else is replaced.
// A file KeepBeforeReplacing could not keep a copy of is not replaced in this run.
bool WriteFileAtomically(const std::filesystem::path& path, std::string_view contents);

// Kept copies: "<name>.unreadable.<N>", N counting up, at most kMaxKeptCopies of a file (the
// oldest removed first); "<name>.unreadable", as older versions kept one, counts as the oldest.
inline constexpr char kUnreadableSuffix[] = ".unreadable";
inline constexpr int kMaxKeptCopies = 10;

enum class KeepReason {
    kUnreadable,   // could not be read whole (the user is told at start)
    kNotWritable,  // read, but a rewrite would lose what the program does not understand
};

// Keeps the file's present contents beside it now, unless a kept copy holds the same bytes
// already. A link is kept as a link when its target is no regular file; a FIFO, device or folder
// has no contents to keep. Called by the readers; a missing file is not kept. False when a copy
// was needed and could not be made: then WriteFileAtomically leaves the file alone.
bool KeepBeforeReplacing(const std::filesystem::path& path,
                         KeepReason reason = KeepReason::kUnreadable);

struct KeptFile {
    std::filesystem::path file;
    std::filesystem::path copy;  // the copy holding its contents; empty when none could be made
    KeepReason reason;
};
// What KeepBeforeReplacing kept (or failed to keep) in this run, in that order, one entry a file.
std::vector<KeptFile> KeptFiles();

// The files whose last WriteFileAtomically since ForgetUnsavedFiles failed, in the order they
// failed.
std::vector<std::filesystem::path> UnsavedFiles();
void ForgetUnsavedFiles();

}  // namespace zavreo
