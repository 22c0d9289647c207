#include "CodecLibrary.h"

#include <dlfcn.h>

namespace zavreo {

namespace {
template <typename Fn>
Fn Entry(void* handle, const char* name) {
    return reinterpret_cast<Fn>(dlsym(handle, name));
}
}  // namespace

bool CodecLibrary::Load(const std::filesystem::path& file) {
    void* handle = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        return false;
    }
    Startup = Entry<CODECLIB_StartupFn>(handle, "CODECLIB_Startup");
    Destroy = Entry<CODECLIB_DestroyFn>(handle, "CODECLIB_Destroy");
    CreateCodecN = Entry<CODECLIB_CreateCodecNFn>(handle, "CODECLIB_CreateCodecN");
    ExecN = Entry<CODECLIB_ExecNFn>(handle, "CODECLIB_ExecN");
    CloseCodecN = Entry<CODECLIB_CloseCodecNFn>(handle, "CODECLIB_CloseCodecN");
    if (!Startup || !Destroy || !CreateCodecN || !ExecN || !CloseCodecN) {
        dlclose(handle);
        ForgetEntries();
        return false;
    }
    handle_ = handle;
    return true;
}

void CodecLibrary::Unload() {
    if (handle_ == nullptr) {
        return;
    }
    Destroy();
    dlclose(handle_);
    handle_ = nullptr;
    ForgetEntries();
}

void CodecLibrary::ForgetEntries() {
    Startup = nullptr;
    Destroy = nullptr;
    CreateCodecN = nullptr;
    ExecN = nullptr;
    CloseCodecN = nullptr;
}

}  // namespace zavreo
