#pragma once
// What the sound-effect pad keeps from one run to the next, in "pad.lst" beside config.lst (whose
// format stays as it is): one line of JSON, {"globalKeys":0|1}, whether the effect keys work
// from any program. Members this version does not know are written back as they were read.
// Interface thread only.

#include <json/value.h>

#include <filesystem>

namespace zavreo {

inline constexpr char kPadSettingsFileName[] = "pad.lst";

class PadSettings {
public:
    explicit PadSettings(std::filesystem::path file);

    // A missing file leaves the defaults (global keys off); one that cannot be read as a JSON
    // object too, and is kept beside (KeepBeforeReplacing), as is one a save would not give back
    // whole. Returns whether the file was read.
    bool Load();
    // Replaces the file in one step, making its folder first; false when it could not be written.
    bool Save() const;

    bool GlobalKeys() const { return globalKeys_; }
    void SetGlobalKeys(bool on) { globalKeys_ = on; }

private:
    std::filesystem::path file_;
    Json::Value document_{Json::objectValue};
    bool globalKeys_ = false;
};

}  // namespace zavreo
