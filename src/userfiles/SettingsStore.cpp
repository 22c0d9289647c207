#include "SettingsStore.h"

#include "AtomicFile.h"
#include "JsonLine.h"

#include <algorithm>

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

// A group the store can write back in place: an array (of one object, as written, possibly
// more) whose first element is an object, or an empty one.
bool KeepsShape(const Json::Value& member) {
    return member.isArray() && (member.empty() || member[0].isObject());
}

// A value as read that the panel did not take as it was: of another type than the panel writes,
// or a text it changed (cut to its limit).
bool Untaken(const Json::Value& read, const Json::Value& held) {
    return read.type() != held.type() || (read.isString() && read != held);
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
    bool rewritable = false;
    // Any other root than an object is as unreadable as broken JSON. Older versions wrote the
    // subtitle in the system code page.
    if (!ReadJsonFirstLine(file_, parsed, kMaxUserLineBytes, LineText::kUtf8OrCodePage,
                           &rewritable) ||
        !parsed.isObject()) {
        KeepBeforeReplacing(file_);
        return false;
    }
    document_ = std::move(parsed);
    const bool shapesKept = std::all_of(
        kGroupNames.begin(), kGroupNames.end(),
        [&](const char* name) { return !document_.isMember(name) || KeepsShape(document_[name]); });
    if (!shapesKept || !rewritable) {
        KeepBeforeReplacing(file_, KeepReason::kNotWritable);
    }
    for (size_t i = 0; i < panels_.size(); ++i) {
        if (panels_[i] != nullptr) {
            panels_[i]->ApplySettings(SavedGroup(document_, kGroupNames[i]));
            applied_[i] = Json::Value(Json::objectValue);
            panels_[i]->FillSettings(applied_[i]);
        }
    }
    return true;
}

std::string SettingsStore::Text() const {
    Json::Value root = document_.isObject() ? document_ : Json::Value(Json::objectValue);
    for (size_t i = 0; i < panels_.size(); ++i) {
        Json::Value& member = root[kGroupNames[i]];
        if (!KeepsShape(member)) {
            member = Json::Value(Json::arrayValue);
        }
        Json::Value group = member.empty() ? Json::Value(Json::objectValue) : member[0];
        if (panels_[i] != nullptr) {
            Json::Value filled(Json::objectValue);
            panels_[i]->FillSettings(filled);
            for (const std::string& name : filled.getMemberNames()) {
                // A value the panel could not take stays while the panel holds what it made of
                // it; once the user changes it, the panel's value is written.
                const bool untouched =
                    applied_[i].isMember(name) && applied_[i][name] == filled[name];
                if (!(untouched && group.isMember(name) && Untaken(group[name], filled[name]))) {
                    group[name] = filled[name];
                }
            }
        }
        if (member.empty()) {
            member.append(group);
        } else {
            member[0] = group;
        }
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
