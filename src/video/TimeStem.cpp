#include "TimeStem.h"

#include <cstdio>
#include <ctime>
#include <random>

std::string MakeTimeStem() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    thread_local std::mt19937 random{std::random_device{}()};
    const int number = static_cast<int>(random() % 32768);
    char stem[96];
    std::snprintf(stem, sizeof stem, "%d_%d_%d_%d_%d_%d_%d", local.tm_year + 1900, local.tm_mon + 1,
                  local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec, number);
    return stem;
}
