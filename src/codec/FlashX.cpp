// The recorder library's entry points. Each codec handle names one recording; ExecN runs it on
// the caller's thread until CloseCodecN (from any thread) or a write failure ends it.

#include "FlashX.h"

#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "RecordOptions.h"
#include "Recorder.h"

extern "C" {
#include <libavutil/log.h>
}

namespace {

struct Codec {
    flashx::StopSignal stop;
};

std::mutex registryMutex;
std::map<int32_t, std::shared_ptr<Codec>> codecs;  // guarded by registryMutex
int32_t nextCodec = 1;                             // guarded by registryMutex
void* startupContext = nullptr;                    // guarded by registryMutex

std::shared_ptr<Codec> FindCodec(int32_t handle) {
    std::lock_guard lock(registryMutex);
    const auto found = codecs.find(handle);
    return found != codecs.end() ? found->second : nullptr;
}

}  // namespace

extern "C" {

__attribute__((visibility("default"))) int CODECLIB_Startup(void* context) {
    av_log_set_level(AV_LOG_ERROR);
    std::lock_guard lock(registryMutex);
    startupContext = context;
    return 0;
}

// Stops every recording still running; their ExecN calls return on their own threads.
__attribute__((visibility("default"))) int CODECLIB_Destroy(void) {
    std::lock_guard lock(registryMutex);
    for (auto& [handle, codec] : codecs) {
        codec->stop.Request();
    }
    startupContext = nullptr;
    return 0;
}

__attribute__((visibility("default"))) int32_t CODECLIB_CreateCodecN(void) {
    std::lock_guard lock(registryMutex);
    const int32_t handle = nextCodec++;
    codecs[handle] = std::make_shared<Codec>();
    return handle;
}

__attribute__((visibility("default"))) int CODECLIB_ExecN(int32_t handle, int argc, char** argv,
                                                          CODECLIB_StartedCallback started) {
    const std::shared_ptr<Codec> codec = FindCodec(handle);
    if (codec == nullptr) {
        std::fprintf(stderr, "FlashX: unknown codec handle %d\n", handle);
        return -1;
    }
    std::vector<std::string> args;
    for (int i = 0; i < argc && argv != nullptr; ++i) {
        args.emplace_back(argv[i] != nullptr ? argv[i] : "");
    }
    flashx::RecordOptions options;
    std::string error;
    int result = -1;
    if (!flashx::ParseRecordOptions(args, &options, &error)) {
        std::fprintf(stderr, "FlashX: %s\n", error.c_str());
    } else if (!codec->stop.Requested()) {
        flashx::Recorder recorder(std::move(options), codec->stop);
        result = recorder.Run([&] {
            void* context = nullptr;
            {
                std::lock_guard lock(registryMutex);
                context = startupContext;
            }
            if (started != nullptr) {
                started(0, context);
            }
        });
    }
    std::lock_guard lock(registryMutex);
    codecs.erase(handle);
    return result;
}

__attribute__((visibility("default"))) int CODECLIB_CloseCodecN(int32_t handle) {
    const std::shared_ptr<Codec> codec = FindCodec(handle);
    if (codec == nullptr) {
        return -1;
    }
    codec->stop.Request();
    return 0;
}
}
