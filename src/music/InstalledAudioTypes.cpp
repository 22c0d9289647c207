#include "InstalledAudioTypes.h"

#include <gst/gst.h>

#include "AudioFileTypes.h"

namespace zavreo {

namespace {

// Whether a factory of `types` at a usable rank takes `caps` on its sink.
bool SomeFactoryTakes(GstElementFactoryListType types, const char* caps) {
    GstCaps* wanted = gst_caps_from_string(caps);
    if (wanted == nullptr) {
        return false;
    }
    GList* factories = gst_element_factory_list_get_elements(types, GST_RANK_MARGINAL);
    GList* taking = gst_element_factory_list_filter(factories, wanted, GST_PAD_SINK, FALSE);
    const bool found = taking != nullptr;
    gst_plugin_feature_list_free(taking);
    gst_plugin_feature_list_free(factories);
    gst_caps_unref(wanted);
    return found;
}

}  // namespace

const std::vector<std::string>& InstalledAudioExtensions() {
    static const std::vector<std::string> extensions = [] {
        gst_init(nullptr, nullptr);
        return PlayableExtensions(
            KnownAudioFormats(),
            [](const char* caps) {
                return SomeFactoryTakes(
                    GST_ELEMENT_FACTORY_TYPE_DEMUXER | GST_ELEMENT_FACTORY_TYPE_PARSER, caps);
            },
            [](const char* caps) {
                return SomeFactoryTakes(GST_ELEMENT_FACTORY_TYPE_DECODER, caps);
            });
    }();
    return extensions;
}

}  // namespace zavreo
