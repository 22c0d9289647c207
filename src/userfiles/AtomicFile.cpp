#include "AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <mutex>
#include <string>

namespace zavreo {

namespace {

bool WriteAll(int fd, std::string_view contents) {
    while (!contents.empty()) {
        const ssize_t written = write(fd, contents.data(), contents.size());
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        contents.remove_prefix(static_cast<size_t>(written));
    }
    return true;
}

// The rename itself lives in the folder's entry list; flush that too so it survives a power loss.
void SyncFolder(const std::filesystem::path& folder) {
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        fsync(fd);
        close(fd);
    }
}

// A temporary file of an earlier save that was cut off (a crash, a kill, a power loss) is never
// renamed: remove those of this file that are old enough not to belong to a save under way.
void RemoveStaleTemporaries(const std::filesystem::path& folder, const std::string& filename) {
    const std::string prefix = "." + filename + ".";
    const auto staleBefore = std::filesystem::file_time_type::clock::now() - kStaleTemporaryAge;
    std::error_code error;
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end;
         it.increment(error)) {
        const std::string name = it->path().filename().string();
        std::error_code statError;
        if (name.size() == prefix.size() + 6 && name.starts_with(prefix) &&
            it->is_regular_file(statError) && it->last_write_time(statError) < staleBefore &&
            !statError) {
            std::filesystem::remove(it->path(), statError);
        }
    }
}

// Files read on any thread, replaced on any thread: one lock.
std::mutex keepLock;
std::vector<std::filesystem::path> toKeep;

// Moves a marked file aside; false when it is still in the way.
bool KeepIfMarked(const std::filesystem::path& path) {
    const std::lock_guard lock(keepLock);
    const auto marked = std::find(toKeep.begin(), toKeep.end(), path);
    if (marked == toKeep.end()) {
        return true;
    }
    std::filesystem::path kept = path;
    kept += kUnreadableSuffix;
    if (rename(path.c_str(), kept.c_str()) != 0 && errno != ENOENT) {
        return false;
    }
    toKeep.erase(marked);
    return true;
}

}  // namespace

bool KeepBeforeReplacing(const std::filesystem::path& path) {
    struct stat info {};
    if (lstat(path.c_str(), &info) != 0) {
        return false;
    }
    const std::lock_guard lock(keepLock);
    if (std::find(toKeep.begin(), toKeep.end(), path) == toKeep.end()) {
        toKeep.push_back(path);
    }
    return true;
}

std::vector<std::filesystem::path> FilesToKeep() {
    const std::lock_guard lock(keepLock);
    return toKeep;
}

bool WriteFileAtomically(const std::filesystem::path& path, std::string_view contents) {
    if (!KeepIfMarked(path)) {
        return false;
    }
    const std::filesystem::path folder =
        path.has_parent_path() ? path.parent_path() : std::filesystem::path(".");
    RemoveStaleTemporaries(folder, path.filename().string());
    std::string temp = (folder / ("." + path.filename().string() + ".XXXXXX")).string();
    // Created 0600: the user's files are nobody else's business.
    const int fd = mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    // Keep the permissions of the file being replaced, but never ones that lock the user out of
    // their own file (a config.lst of mode 000 would otherwise stay unreadable forever). A link
    // or device in the file's place lends no mode: /dev/zero's would open the file to everyone.
    struct stat old {};
    if (lstat(path.c_str(), &old) == 0 && S_ISREG(old.st_mode)) {
        fchmod(fd, (old.st_mode & 07777) | S_IRUSR | S_IWUSR);
    }

    const bool written = WriteAll(fd, contents) && fsync(fd) == 0;
    const bool closed = close(fd) == 0;
    if (!written || !closed || rename(temp.c_str(), path.c_str()) != 0) {
        unlink(temp.c_str());
        return false;
    }
    SyncFolder(folder);
    return true;
}

}  // namespace zavreo
