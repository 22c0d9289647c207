#pragma once
// A real PipeWire client reading the virtual camera's node: GStreamer's pipewiresrc, asking for
// 640 x 480 frames of one format, into an appsink. Each pulled frame carries the time it arrived.

#include <gst/app/gstappsink.h>
#include <gst/gst.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

class PipeWireReader {
public:
    struct Frame {
        std::vector<uint8_t> bytes;
        std::chrono::steady_clock::time_point arrived;
    };

    // `format` as GStreamer names it: "BGRx", "YUY2", "I420"; `fps` 0 takes the node's first.
    PipeWireReader(const std::string& node, const std::string& format, int fps = 0) {
        gst_init(nullptr, nullptr);
        const std::string rate = fps > 0 ? ",framerate=" + std::to_string(fps) + "/1" : "";
        const std::string description = "pipewiresrc target-object=" + node +
                                        " always-copy=true ! video/x-raw,format=" + format +
                                        ",width=640,height=480" + rate +
                                        " ! appsink name=sink sync=false max-buffers=64 drop=false";
        GError* error = nullptr;
        pipeline_ = gst_parse_launch(description.c_str(), &error);
        if (error != nullptr) {
            g_error_free(error);
        }
        if (pipeline_ != nullptr) {
            sink_ = gst_bin_get_by_name(GST_BIN(pipeline_), "sink");
            gst_element_set_state(pipeline_, GST_STATE_PLAYING);
        }
    }
    ~PipeWireReader() {
        if (pipeline_ != nullptr) {
            gst_element_set_state(pipeline_, GST_STATE_NULL);
            gst_object_unref(sink_);
            gst_object_unref(pipeline_);
        }
    }
    PipeWireReader(const PipeWireReader&) = delete;
    PipeWireReader& operator=(const PipeWireReader&) = delete;

    // The next frame, or nothing within `seconds`.
    std::optional<Frame> Pull(double seconds) {
        if (sink_ == nullptr) {
            return std::nullopt;
        }
        GstSample* sample = gst_app_sink_try_pull_sample(
            GST_APP_SINK(sink_), static_cast<GstClockTime>(seconds * GST_SECOND));
        if (sample == nullptr) {
            return std::nullopt;
        }
        Frame frame;
        frame.arrived = std::chrono::steady_clock::now();
        GstBuffer* buffer = gst_sample_get_buffer(sample);
        GstMapInfo map{};
        if (buffer != nullptr && gst_buffer_map(buffer, &map, GST_MAP_READ)) {
            frame.bytes.assign(map.data, map.data + map.size);
            gst_buffer_unmap(buffer, &map);
        }
        gst_sample_unref(sample);
        return frame;
    }

private:
    GstElement* pipeline_ = nullptr;
    GstElement* sink_ = nullptr;
};
