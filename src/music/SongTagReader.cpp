#include "SongTagReader.h"

#include <gst/gst.h>
#include <gst/pbutils/pbutils.h>

namespace zavreo {

namespace {

std::string TagText(const GstTagList* tags, const char* tag) {
    gchar* text = nullptr;
    if (tags == nullptr || !gst_tag_list_get_string(tags, tag, &text) || text == nullptr) {
        return {};
    }
    std::string out(text);
    g_free(text);
    return out;
}

}  // namespace

SongTagReader::SongTagReader(std::chrono::milliseconds timeout) {
    gst_init(nullptr, nullptr);
    // ID3 text frames marked as Latin-1, and ID3v1 tags, hold GBK in most Chinese songs; text
    // that is valid UTF-8 is still taken as it is. A user's own choice stays.
    g_setenv("GST_ID3_TAG_ENCODING", "GB18030", FALSE);
    discoverer_ =
        gst_discoverer_new(static_cast<GstClockTime>(timeout.count()) * GST_MSECOND, nullptr);
}

SongTagReader::~SongTagReader() {
    if (discoverer_ != nullptr) {
        g_object_unref(discoverer_);
    }
}

std::optional<SongTags> SongTagReader::Read(const std::string& path) {
    if (discoverer_ == nullptr) {
        return std::nullopt;
    }
    gchar* uri = gst_filename_to_uri(path.c_str(), nullptr);
    if (uri == nullptr) {
        return std::nullopt;
    }
    GstDiscovererInfo* info = gst_discoverer_discover_uri(discoverer_, uri, nullptr);
    g_free(uri);
    if (info == nullptr) {
        return std::nullopt;
    }
    std::optional<SongTags> read;
    const GstDiscovererResult result = gst_discoverer_info_get_result(info);
    // A file whose sound lacks a decoder still has its tags read by the demuxer.
    if (result == GST_DISCOVERER_OK || result == GST_DISCOVERER_MISSING_PLUGINS) {
        const GstTagList* tags = gst_discoverer_info_get_tags(info);
        read = SongTags{TagText(tags, GST_TAG_TITLE), TagText(tags, GST_TAG_ARTIST)};
    }
    gst_discoverer_info_unref(info);
    return read;
}

}  // namespace zavreo
