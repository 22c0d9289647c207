#pragma once
// The recorder library libFlashX.so and its five entry points, loaded at start and released by
// the exit command. Interface thread.

#include <filesystem>

#include "FlashX.h"

namespace zavreo {

inline constexpr char kCodecLibraryName[] = "libFlashX.so";
inline constexpr char kCodecLoadFailedText[] = "加载动态库失败！\n";

class CodecLibrary {
public:
    CodecLibrary() = default;
    CodecLibrary(const CodecLibrary&) = delete;
    CodecLibrary& operator=(const CodecLibrary&) = delete;
    // Leaves a loaded library mapped: its recording thread may still be inside it at exit.
    ~CodecLibrary() = default;

    // Loads `file` and takes the entry points. A library lacking one of them is not kept: the
    // program would otherwise call through a null pointer.
    bool Load(const std::filesystem::path& file);
    // The destroy entry, then the library is unmapped. Does nothing when nothing is loaded.
    void Unload();
    bool Loaded() const { return handle_ != nullptr; }

    CODECLIB_StartupFn Startup = nullptr;
    CODECLIB_DestroyFn Destroy = nullptr;
    CODECLIB_CreateCodecNFn CreateCodecN = nullptr;
    CODECLIB_ExecNFn ExecN = nullptr;
    CODECLIB_CloseCodecNFn CloseCodecN = nullptr;

private:
    void ForgetEntries();

    void* handle_ = nullptr;
};

}  // namespace zavreo
