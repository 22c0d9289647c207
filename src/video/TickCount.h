#pragma once

#include <chrono>
#include <cstdint>

namespace zavreo {

// Milliseconds of a monotonic clock; wraps like a 32-bit tick counter.
inline uint32_t TickCount() {
    using namespace std::chrono;
    return static_cast<uint32_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

}  // namespace zavreo
