#include "UserFileReader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace zavreo {

namespace {

// Opens `path` without blocking; -1 unless it is a regular file.
int OpenRegular(const std::filesystem::path& path, struct stat& info) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        return -1;
    }
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Reads until `maxBytes`, end of file, or (with `stopAtNewline`) the first line feed.
std::optional<std::string> ReadBounded(const std::filesystem::path& path, std::size_t maxBytes,
                                       bool stopAtNewline) {
    struct stat info {};
    const int fd = OpenRegular(path, info);
    if (fd < 0) {
        return std::nullopt;
    }
    std::string text;
    text.reserve(
        static_cast<std::size_t>(std::min<off_t>(info.st_size, static_cast<off_t>(maxBytes))));
    char chunk[16384];
    bool failed = false;
    while (text.size() < maxBytes) {
        const std::size_t want = std::min(sizeof chunk, maxBytes - text.size());
        const ssize_t got = ::read(fd, chunk, want);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            failed = true;
            break;
        }
        if (got == 0) {
            break;
        }
        const std::size_t start = text.size();
        text.append(chunk, static_cast<std::size_t>(got));
        if (stopAtNewline) {
            const std::size_t newline = text.find('\n', start);
            if (newline != std::string::npos) {
                text.resize(newline);
                break;
            }
        }
    }
    ::close(fd);
    if (failed) {
        return std::nullopt;
    }
    return text;
}

}  // namespace

std::optional<std::string> ReadRegularFile(const std::filesystem::path& path,
                                           std::size_t maxBytes) {
    return ReadBounded(path, maxBytes, false);
}

std::optional<std::string> ReadFirstLine(const std::filesystem::path& path, std::size_t maxBytes) {
    return ReadBounded(path, maxBytes, true);
}

std::optional<std::string> ReadFileTail(const std::filesystem::path& path, std::size_t bytes) {
    struct stat info {};
    const int fd = OpenRegular(path, info);
    if (fd < 0) {
        return std::nullopt;
    }
    std::string tail(bytes, '\0');
    std::size_t got = 0;
    if (static_cast<std::size_t>(info.st_size) >= bytes) {
        const off_t start = info.st_size - static_cast<off_t>(bytes);
        while (got < bytes) {
            const ssize_t read =
                ::pread(fd, tail.data() + got, bytes - got, start + static_cast<off_t>(got));
            if (read < 0 && errno == EINTR) {
                continue;
            }
            if (read <= 0) {
                break;
            }
            got += static_cast<std::size_t>(read);
        }
    }
    ::close(fd);
    if (got < bytes) {
        return std::nullopt;
    }
    return tail;
}

}  // namespace zavreo
