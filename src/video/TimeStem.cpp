#include "TimeStem.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <mutex>
#include <random>

namespace zavreo {

namespace {

// How many random values a name may take before the folder counts as unusable.
constexpr int kNameAttempts = 100;

// In the range of the C library's rand().
int RandomValue() {
    static std::mutex lock;
    static std::mt19937 generator{std::random_device{}()};
    std::lock_guard hold(lock);
    return std::uniform_int_distribution<int>(0, INT_MAX)(generator);
}

}  // namespace

std::string MakeTimeStem(std::time_t now, int random) {
    int year = 0, month = 0, day = 0, hour = -1, minute = -1, second = -1;
    std::tm local{};
    if (localtime_r(&now, &local) != nullptr) {
        year = local.tm_year + 1900;
        month = local.tm_mon + 1;
        day = local.tm_mday;
        hour = local.tm_hour;
        minute = local.tm_min;
        second = local.tm_sec;
    }
    char stem[96];
    std::snprintf(stem, sizeof stem, "%d_%d_%d_%d_%d_%d_%d", year, month, day, hour, minute, second,
                  random);
    return stem;
}

std::string MakeTimeStem() {
    return MakeTimeStem(std::time(nullptr), RandomValue());
}

std::filesystem::path CreateTimeStemFile(const std::filesystem::path& folder,
                                         const std::string& extension, int* error,
                                         const std::function<std::string()>& stems) {
    *error = EEXIST;
    for (int attempt = 0; attempt < kNameAttempts && *error == EEXIST; ++attempt) {
        const std::string stem = stems ? stems() : MakeTimeStem();
        const std::filesystem::path path = folder / (stem + extension);
        const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd >= 0) {
            close(fd);
            *error = 0;
            return path;
        }
        *error = errno;
    }
    return {};
}

}  // namespace zavreo
