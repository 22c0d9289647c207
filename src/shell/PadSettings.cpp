#include "PadSettings.h"

#include "AtomicFile.h"
#include "JsonLine.h"

namespace zavreo {

namespace {
constexpr char kGlobalKeys[] = "globalKeys";
}  // namespace

PadSettings::PadSettings(std::filesystem::path file) : file_(std::move(file)) {}

bool PadSettings::Load() {
    Json::Value read;
    if (!ReadJsonFirstLine(file_, read) || !read.isObject()) {
        KeepBeforeReplacing(file_);
        return false;
    }
    document_ = read;
    globalKeys_ = JsonInt(document_, kGlobalKeys) == 1;
    return true;
}

bool PadSettings::Save() const {
    Json::Value document = document_;
    document[kGlobalKeys] = globalKeys_ ? 1 : 0;
    std::error_code error;
    std::filesystem::create_directories(file_.parent_path(), error);
    return WriteFileAtomically(file_, JsonLine(document));
}

}  // namespace zavreo
