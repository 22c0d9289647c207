#include "AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
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

// Files read on any thread, replaced on any thread: one lock over what was kept and what failed.
std::mutex registryLock;
std::vector<KeptFile> keptFiles;
std::vector<std::filesystem::path> unsavedFiles;

void RecordKept(KeptFile entry) {
    const std::lock_guard lock(registryLock);
    std::erase_if(keptFiles, [&](const KeptFile& kept) { return kept.file == entry.file; });
    keptFiles.push_back(std::move(entry));
}

bool KeepFailed(const std::filesystem::path& path) {
    const std::lock_guard lock(registryLock);
    return std::any_of(keptFiles.begin(), keptFiles.end(), [&](const KeptFile& kept) {
        return kept.file == path && kept.copy.empty();
    });
}

void RecordWrite(const std::filesystem::path& path, bool written) {
    const std::lock_guard lock(registryLock);
    std::erase(unsavedFiles, path);
    if (!written) {
        unsavedFiles.push_back(path);
    }
}

// A temporary file beside `path`, named as RemoveStaleTemporaries expects; -1 on failure.
int MakeTemporary(const std::filesystem::path& folder, const std::filesystem::path& path,
                  std::string& temp) {
    temp = (folder / ("." + path.filename().string() + ".XXXXXX")).string();
    // Created 0600: the user's files are nobody else's business.
    return mkostemp(temp.data(), O_CLOEXEC);
}

// The file the text goes to: the target of a link of this user's to a regular file of theirs
// (the link stays), else the path itself. A link to a device or a FIFO is never followed:
// renaming over it would replace that node in its folder; nor one someone else made.
std::filesystem::path WriteTarget(const std::filesystem::path& path) {
    struct stat link {};
    struct stat target {};
    if (lstat(path.c_str(), &link) != 0 || !S_ISLNK(link.st_mode) || link.st_uid != getuid() ||
        stat(path.c_str(), &target) != 0 || !S_ISREG(target.st_mode) || target.st_uid != getuid()) {
        return path;
    }
    std::error_code error;
    const std::filesystem::path resolved = std::filesystem::canonical(path, error);
    return error ? path : resolved;
}

// ---- Kept copies ----

struct Copy {
    std::filesystem::path path;
    long number;  // 0 for the unnumbered copy of older versions
};

// The kept copies of `path`, oldest first.
std::vector<Copy> KeptCopies(const std::filesystem::path& path) {
    const std::string base = path.filename().string() + kUnreadableSuffix;
    std::vector<Copy> copies;
    std::error_code error;
    const std::filesystem::path folder =
        path.has_parent_path() ? path.parent_path() : std::filesystem::path(".");
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end;
         it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (name == base) {
            copies.push_back({it->path(), 0});
        } else if (name.size() > base.size() + 1 && name.starts_with(base + ".") &&
                   name.size() - base.size() - 1 <= 9 &&
                   std::all_of(name.begin() + static_cast<long>(base.size()) + 1, name.end(),
                               [](char c) { return c >= '0' && c <= '9'; })) {
            copies.push_back({it->path(), std::stol(name.substr(base.size() + 1))});
        }
    }
    std::sort(copies.begin(), copies.end(),
              [](const Copy& a, const Copy& b) { return a.number < b.number; });
    return copies;
}

bool SameBytes(int a, int b) {
    char left[16384];
    char right[sizeof left];
    for (;;) {
        const ssize_t got = read(a, left, sizeof left);
        if (got < 0) {
            return false;
        }
        ssize_t matched = 0;
        while (matched < got) {
            const ssize_t more = read(b, right + matched, static_cast<size_t>(got - matched));
            if (more <= 0) {
                return false;
            }
            matched += more;
        }
        if (got == 0) {
            return read(b, right, 1) == 0;
        }
        if (std::memcmp(left, right, static_cast<size_t>(got)) != 0) {
            return false;
        }
    }
}

// Whether the regular file `copy` holds the same bytes as the open regular file `source`.
bool HoldsSameBytes(int source, const struct stat& sourceInfo, const std::filesystem::path& copy) {
    const int fd = open(copy.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    struct stat info {};
    const bool same = fstat(fd, &info) == 0 && S_ISREG(info.st_mode) &&
                      info.st_size == sourceInfo.st_size && lseek(source, 0, SEEK_SET) == 0 &&
                      SameBytes(source, fd);
    close(fd);
    return same;
}

std::string LinkTarget(const std::filesystem::path& link) {
    std::error_code error;
    const std::filesystem::path target = std::filesystem::read_symlink(link, error);
    return error ? std::string() : target.string();
}

bool CopyBytes(int from, int to) {
    if (lseek(from, 0, SEEK_SET) != 0) {
        return false;
    }
    char chunk[65536];
    for (;;) {
        const ssize_t got = read(from, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            return false;
        }
        if (got == 0) {
            return true;
        }
        if (!WriteAll(to, std::string_view(chunk, static_cast<size_t>(got)))) {
            return false;
        }
    }
}

// Puts `made` (a temporary file or, with `link`, a link's target text) at the copy named after
// `number`, never over an existing one; the name it got, or empty.
std::filesystem::path PlaceCopy(const std::filesystem::path& path, long number,
                                const std::string& made, bool link) {
    for (int attempt = 0; attempt < 100; ++attempt, ++number) {
        std::filesystem::path copy = path;
        copy += kUnreadableSuffix;
        copy += "." + std::to_string(number);
        int placed =
            link ? symlink(made.c_str(), copy.c_str())
                 : renameat2(AT_FDCWD, made.c_str(), AT_FDCWD, copy.c_str(), RENAME_NOREPLACE);
        // A file system without a no-replace rename still refuses to link over a name.
        if (placed != 0 && errno == EINVAL && !link && ::link(made.c_str(), copy.c_str()) == 0) {
            unlink(made.c_str());
            placed = 0;
        }
        if (placed == 0) {
            return copy;
        }
        if (errno != EEXIST) {
            return {};
        }
    }
    return {};
}

// Removes the oldest copies until `keep` are left.
void RemoveOldest(const std::filesystem::path& path, std::size_t keep) {
    std::vector<Copy> copies = KeptCopies(path);
    for (std::size_t i = 0; i + keep < copies.size(); ++i) {
        unlink(copies[i].path.c_str());
    }
}

// A copy of the regular file open as `source`, or the existing copy with its bytes.
std::filesystem::path KeepContents(const std::filesystem::path& path, int source,
                                   const struct stat& info) {
    const std::vector<Copy> copies = KeptCopies(path);
    for (auto it = copies.rbegin(); it != copies.rend(); ++it) {
        if (HoldsSameBytes(source, info, it->path)) {
            return it->path;
        }
    }
    const std::filesystem::path folder =
        path.has_parent_path() ? path.parent_path() : std::filesystem::path(".");
    std::string temp;
    const int fd = MakeTemporary(folder, path, temp);
    if (fd < 0) {
        return {};
    }
    const bool copied = CopyBytes(source, fd) && fsync(fd) == 0;
    std::filesystem::path copy;
    if (close(fd) == 0 && copied) {
        copy = PlaceCopy(path, copies.empty() ? 1 : copies.back().number + 1, temp, false);
    }
    if (copy.empty()) {
        unlink(temp.c_str());
        return {};
    }
    SyncFolder(folder);
    RemoveOldest(path, kMaxKeptCopies);
    return copy;
}

// A link kept as a link: its target is what it holds.
std::filesystem::path KeepLink(const std::filesystem::path& path) {
    const std::string target = LinkTarget(path);
    if (target.empty()) {
        return {};
    }
    const std::vector<Copy> copies = KeptCopies(path);
    for (auto it = copies.rbegin(); it != copies.rend(); ++it) {
        struct stat info {};
        if (lstat(it->path.c_str(), &info) == 0 && S_ISLNK(info.st_mode) &&
            LinkTarget(it->path) == target) {
            return it->path;
        }
    }
    const std::filesystem::path copy =
        PlaceCopy(path, copies.empty() ? 1 : copies.back().number + 1, target, true);
    if (!copy.empty()) {
        RemoveOldest(path, kMaxKeptCopies);
    }
    return copy;
}

}  // namespace

bool KeepBeforeReplacing(const std::filesystem::path& path, KeepReason reason) {
    struct stat info {};
    struct stat target {};
    if (lstat(path.c_str(), &info) != 0) {
        return true;
    }
    // A link to a regular file holds that file's bytes; any other link holds only its target.
    // A FIFO, device or folder holds nothing to lose, and is not even opened.
    const bool link = S_ISLNK(info.st_mode);
    const bool contents = S_ISREG(info.st_mode) ||
                          (link && stat(path.c_str(), &target) == 0 && S_ISREG(target.st_mode));
    if (!contents && !link) {
        return true;
    }
    std::filesystem::path copy;
    if (contents) {
        const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
        struct stat opened {};
        if (fd >= 0 && fstat(fd, &opened) == 0 && S_ISREG(opened.st_mode)) {
            copy = KeepContents(path, fd, opened);
        } else if (fd < 0 && (errno == EACCES || errno == EPERM)) {
            // Not this user's to read (left by a run as another user): it is moved aside whole
            // instead, which its folder's owner may do.
            const std::vector<Copy> copies = KeptCopies(path);
            copy = PlaceCopy(path, copies.empty() ? 1 : copies.back().number + 1, path.string(),
                             false);
            RemoveOldest(path, kMaxKeptCopies);
        }
        if (fd >= 0) {
            close(fd);
        }
    } else {
        copy = KeepLink(path);
    }
    const bool kept = !copy.empty();
    RecordKept({path, std::move(copy), reason});
    return kept;
}

std::vector<KeptFile> KeptFiles() {
    const std::lock_guard lock(registryLock);
    return keptFiles;
}

std::vector<std::filesystem::path> UnsavedFiles() {
    const std::lock_guard lock(registryLock);
    return unsavedFiles;
}

void ForgetUnsavedFiles() {
    const std::lock_guard lock(registryLock);
    unsavedFiles.clear();
}

namespace {

bool ReplaceAtomically(const std::filesystem::path& path, std::string_view contents) {
    const std::filesystem::path folder =
        path.has_parent_path() ? path.parent_path() : std::filesystem::path(".");
    RemoveStaleTemporaries(folder, path.filename().string());
    std::string temp;
    const int fd = MakeTemporary(folder, path, temp);
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

}  // namespace

bool WriteFileAtomically(const std::filesystem::path& path, std::string_view contents) {
    const bool written = !KeepFailed(path) && ReplaceAtomically(WriteTarget(path), contents);
    RecordWrite(path, written);
    return written;
}

}  // namespace zavreo
