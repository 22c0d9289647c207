#include "DecorationDefinitions.h"

#include "ResourcePaths.h"

namespace zavreo::effects {

std::array<ParamMap, kDecorationCount> BuildDecorationDefinitions() {
    std::array<ParamMap, kDecorationCount> definitions;
    const auto& decorations = Resources::Decorations();
    for (size_t i = 0; i < definitions.size() && i < decorations.size(); ++i) {
        std::string pictures;
        for (int frame = 0; frame < decorations[i].frames; ++frame) {
            if (frame > 0) {
                pictures += ',';
            }
            pictures += Resources::DecorationFrame(decorations[i], frame);
        }
        ParamMap& definition = definitions[i];
        definition["pictures"] = std::move(pictures);
        definition["fps"] = "10";
        definition["loop"] = "true";
        definition["delay"] = "5000";
    }
    definitions[1]["pos_x"] = "0";
    definitions[1]["pos_y"] = "800";
    return definitions;
}

}  // namespace zavreo::effects
