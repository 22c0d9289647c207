// The engine's parameters as any text: every filter type is created with them, changed to them
// and run over a small frame, which must never fail or touch memory outside the frame.
//
// Input: lines of "key=value"; the first byte picks the filter type.

#include <string>
#include <vector>

#include "EffectManager.h"

namespace {

EM::ParamMap ParseLines(const std::string& text) {
    EM::ParamMap params;
    size_t begin = 0;
    while (begin < text.size()) {
        size_t end = text.find('\n', begin);
        if (end == std::string::npos) {
            end = text.size();
        }
        const std::string line = text.substr(begin, end - begin);
        const size_t equals = line.find('=');
        if (equals != std::string::npos) {
            params[line.substr(0, equals)] = line.substr(equals + 1);
        }
        begin = end + 1;
    }
    return params;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::vector<std::string> types = EM::EffectManager::FilterTypes();
    if (size == 0 || types.empty()) {
        return 0;
    }
    const std::string& type = types[data[0] % types.size()];
    const EM::ParamMap params =
        ParseLines(std::string(reinterpret_cast<const char*>(data) + 1, size - 1));
    EM::EffectManager engine;
    EM::EffectImage* frame = EM::Helper::NewImage(48, 36);
    engine.AddFilter("f", type, params);
    engine.DoFilter(frame);
    if (EM::IFilter* filter = engine.Ref("f")) {
        filter->SetParam(params);
        frame->timeMs = 5000;
        engine.DoFilter(frame);
    }
    EM::Helper::FreeImage(frame);
    return 0;
}
