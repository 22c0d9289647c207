// config.lst as any bytes: loading must never fail in any other way than reading as nothing,
// what is saved from a loaded file must load again to the very same text, and a file the store
// does not keep beside loses nothing in the rewrite but what the panel wrote itself.

#include <cstdlib>

#include "JsonLine.h"
#include "MemoryFile.h"
#include "SettingsStore.h"

namespace {

// Reads its group the way the panels do: named integers and a text, each of any type.
class ReadingPanel : public zavreo::ISettingsGroup {
public:
    void FillSettings(Json::Value& group) const override {
        group["size"] = size_;
        group["1"] = first_;
        group["text"] = text_;
    }
    void ApplySettings(const Json::Value& group) override {
        size_ = zavreo::JsonInt(group, "size");
        first_ = zavreo::JsonInt(group, "1");
        text_ = zavreo::JsonText(group, "text");
    }

private:
    int size_ = 0;
    int first_ = 0;
    std::string text_;
};

bool IsGroup(const std::string& name) {
    return name == "Text" || name == "White" || name == "Filter" || name == "Deco" ||
           name == "m_Lyric";
}

// Whether the store writes `document` back without keeping a copy: one line a rewrite gives
// back, every group an array whose first element (if any) is an object.
bool WrittenBackInPlace(const std::string& path, const Json::Value& document) {
    for (const std::string& name : document.getMemberNames()) {
        const Json::Value& group = document[name];
        if (IsGroup(name) && !(group.isArray() && (group.empty() || group[0].isObject()))) {
            return false;
        }
    }
    Json::Value again;
    bool rewritable = false;
    return zavreo::ReadJsonFirstLine(path, again, zavreo::kMaxUserLineBytes,
                                     zavreo::LineText::kUtf8OrCodePage, &rewritable) &&
           rewritable;
}

void Check(bool holds) {
    if (!holds) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const MemoryFile input(data, size);
    zavreo::SettingsStore store(input.Path());
    ReadingPanel text;
    store.Attach(zavreo::SettingsGroup::kText, &text);
    if (!store.Load()) {
        return 0;
    }
    const std::string saved = store.Text();
    // Everything but the members the panel fills comes back as it was read.
    if (WrittenBackInPlace(input.Path(), store.Document())) {
        Json::Value written;
        Check(zavreo::ParseJsonLine(saved, written));
        const Json::Value& read = store.Document();
        for (const std::string& name : read.getMemberNames()) {
            if (!IsGroup(name)) {
                Check(written[name] == read[name]);
                continue;
            }
            // A group's elements come back; an empty group gets the panel's.
            Check(written[name].size() >= read[name].size());
            for (Json::ArrayIndex i = 0; i < read[name].size(); ++i) {
                if (!read[name][i].isObject()) {
                    Check(written[name][i] == read[name][i]);
                    continue;
                }
                for (const std::string& member : read[name][i].getMemberNames()) {
                    const bool filled = name == "Text" && i == 0 &&
                                        (member == "size" || member == "1" || member == "text");
                    Check(filled || written[name][i][member] == read[name][i][member]);
                }
            }
        }
    }
    const MemoryFile again(reinterpret_cast<const uint8_t*>(saved.data()), saved.size());
    zavreo::SettingsStore reloaded(again.Path());
    ReadingPanel reloadedText;
    reloaded.Attach(zavreo::SettingsGroup::kText, &reloadedText);
    Check(reloaded.Load() && reloaded.Text() == saved);
    return 0;
}
