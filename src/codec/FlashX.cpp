// The library's entry points without a recorder behind them yet: a recording ends as soon as it
// is started and never reports a start, so the program's start-up and exit run their real course.

#include "FlashX.h"

#include <atomic>

namespace {
std::atomic<int32_t> nextCodec{1};
std::atomic<void*> startupContext{nullptr};
}  // namespace

extern "C" {

__attribute__((visibility("default"))) int CODECLIB_Startup(void* context) {
    startupContext = context;
    return 0;
}

__attribute__((visibility("default"))) int CODECLIB_Destroy(void) {
    startupContext = nullptr;
    return 0;
}

__attribute__((visibility("default"))) int32_t CODECLIB_CreateCodecN(void) {
    return nextCodec++;
}

__attribute__((visibility("default"))) int CODECLIB_ExecN(int32_t, int, char**,
                                                          CODECLIB_StartedCallback) {
    return 0;
}

__attribute__((visibility("default"))) int CODECLIB_CloseCodecN(int32_t) {
    return 0;
}
}
