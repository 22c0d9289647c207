#pragma once
// config.lst: the effect and lyric choices of five panels, kept from one run to the next. The
// root holds one member per panel group, each an array with exactly one object. Read once at
// start, written only by the exit command. Interface thread only.
//
// What the program does not know is written back as it was read: other root members, other
// members of a group, further elements of a group's array, and values a panel could not take
// (another type than it writes, a text it had to cut) as long as the panel still holds what it
// made of them. A file a rewrite would still lose something of is kept beside first.

#include <json/value.h>

#include <array>
#include <filesystem>

namespace zavreo {

// Implemented by each panel that keeps a group in config.lst.
class ISettingsGroup {
public:
    virtual ~ISettingsGroup() = default;
    // Writes the panel's current state into `group` (an empty object).
    virtual void FillSettings(Json::Value& group) const = 0;
    // Sets the panel from its saved group; members that are missing or of another type read as
    // 0 or empty text (JsonInt, JsonText), and the panel applies that.
    virtual void ApplySettings(const Json::Value& group) = 0;
};

// In the order the groups are applied and filled.
enum class SettingsGroup { kText, kWhite, kFilter, kDeco, kLyric };
inline constexpr int kSettingsGroupCount = 5;
const char* SettingsGroupName(SettingsGroup group);

class SettingsStore {
public:
    explicit SettingsStore(std::filesystem::path file);

    // The panel that owns `group`; null detaches it.
    void Attach(SettingsGroup group, ISettingsGroup* panel);

    // Reads the first line of the file (UTF-8, else GBK as older versions wrote it); when it is
    // a JSON object, keeps it as the settings document and lets every attached panel apply its
    // group. A missing, unreadable or invalid file touches no panel; one that exists is kept
    // beside (KeepBeforeReplacing), as is one a rewrite would not carry over whole (more lines,
    // comments, repeated members, a group of another shape). Returns whether the panels were
    // applied.
    bool Load();

    // Asks every panel for its group and replaces the file in one step, making its folder first. A
    // group whose panel is not attached is written as it was loaded. Returns false when the file
    // could not be written.
    bool Save() const;

    // Builds the text Save writes.
    std::string Text() const;

    const Json::Value& Document() const { return document_; }
    const std::filesystem::path& File() const { return file_; }

private:
    std::filesystem::path file_;
    Json::Value document_;
    // What each panel made of its group: its fill right after applying it.
    std::array<Json::Value, kSettingsGroupCount> applied_;
    std::array<ISettingsGroup*, kSettingsGroupCount> panels_{};
};

}  // namespace zavreo
