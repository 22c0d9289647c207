// config.lst as any bytes: loading must never fail in any other way than reading as nothing, and
// what is saved from a loaded file must load again to the very same text.

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
        group["text"] = text_;
    }
    void ApplySettings(const Json::Value& group) override {
        size_ = zavreo::JsonInt(group, "size") + zavreo::JsonInt(group, "1");
        text_ = zavreo::JsonText(group, "text");
    }

private:
    int size_ = 0;
    std::string text_;
};

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
    const MemoryFile again(reinterpret_cast<const uint8_t*>(saved.data()), saved.size());
    zavreo::SettingsStore reloaded(again.Path());
    ReadingPanel reloadedText;
    reloaded.Attach(zavreo::SettingsGroup::kText, &reloadedText);
    if (!reloaded.Load() || reloaded.Text() != saved) {
        std::abort();
    }
    return 0;
}
