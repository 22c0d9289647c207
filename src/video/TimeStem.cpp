#include "TimeStem.h"

#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace zavreo {

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
    // rand() keeps hidden state; the photo and the recording threads may both be here.
    static std::mutex randomLock;
    int random = 0;
    {
        std::lock_guard lock(randomLock);
        random = std::rand();
    }
    return MakeTimeStem(std::time(nullptr), random);
}

}  // namespace zavreo
