#include "SettingsStore.h"

#include "AtomicFile.h"
#include "JsonLine.h"

namespace zavreo {

namespace {

constexpr std::array<const char*, kSettingsGroupCount> kGroupNames = {"Text", "White", "Filter",
                                                                      "Deco", "m_Lyric"};

// Element 0 of the group's member when it is an object, else null (every value reads as missing).
const Json::Value& SavedGroup(const Json::Value& document, const char* name) {
    static const Json::Value missing;
    if (!document.isObject()) {
        return missing;
    }
    const Json::Value& member = document[name];
    if (!member.isArray() || member.empty() || !member[0].isObject()) {
        return missing;
    }
    return member[0];
}

}  // namespace

const char* SettingsGroupName(SettingsGroup group) {
    return kGroupNames[static_cast<size_t>(group)];
}

SettingsStore::SettingsStore(std::filesystem::path file) : file_(std::move(file)) {}

void SettingsStore::Attach(SettingsGroup group, ISettingsGroup* panel) {
    panels_[static_cast<size_t>(group)] = panel;
}

bool SettingsStore::Load() {
    Json::Value parsed;
    // Any other root than an object is as unreadable as broken JSON. Older versions wrote the
    // subtitle in the system code page.
    if (!ReadJsonFirstLine(file_, parsed, kMaxUserLineBytes, LineText::kUtf8OrCodePage) ||
        !parsed.isObject()) {
        KeepBeforeReplacing(file_);
        return false;
    }
    document_ = std::move(parsed);
    for (size_t i = 0; i < panels_.size(); ++i) {
        if (panels_[i] != nullptr) {
            panels_[i]->ApplySettings(SavedGroup(document_, kGroupNames[i]));
        }
    }
    return true;
}

std::string SettingsStore::Text() const {
    Json::Value root(Json::objectValue);
    for (size_t i = 0; i < panels_.size(); ++i) {
        Json::Value group(Json::objectValue);
        if (panels_[i] != nullptr) {
            panels_[i]->FillSettings(group);
        } else if (const Json::Value& saved = SavedGroup(document_, kGroupNames[i]);
                   saved.isObject()) {
            group = saved;
        }
        root[kGroupNames[i]].append(group);
    }
    return JsonLine(root);
}

bool SettingsStore::Save() const {
    // The folder may have been removed since the start.
    std::error_code ignored;
    std::filesystem::create_directories(file_.parent_path(), ignored);
    return WriteFileAtomically(file_, Text());
}

}  // namespace zavreo
