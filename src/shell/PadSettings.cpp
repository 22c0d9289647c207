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
    bool rewritable = false;
    if (!ReadJsonFirstLine(file_, read, kMaxUserLineBytes, LineText::kUtf8, &rewritable) ||
        !read.isObject()) {
        KeepBeforeReplacing(file_);
        return false;
    }
    document_ = std::move(read);
    globalKeys_ = JsonInt(document_, kGlobalKeys) == 1;
    // A value the save would not give back as it stands (another type, another number).
    const Json::Value& stored = document_[kGlobalKeys];
    const bool valueKept = !document_.isMember(kGlobalKeys) ||
                           (stored.isInt() && (stored.asInt() == 0 || stored.asInt() == 1));
    if (!rewritable || !valueKept) {
        KeepBeforeReplacing(file_, KeepReason::kNotWritable);
    }
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
