#include "CCameraGraph.h"

#include <gst/app/gstappsink.h>
#include <gst/gst.h>
#include <gst/video/video.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

#include "CSampleGrabberCB.h"
#include "CameraDiscovery.h"
#include "GstSupport.h"
#include "PreviewFrames.h"

namespace zavreo {
namespace {

constexpr int kFramesPerSecond = 15;
constexpr GstClockTime kStartTimeout = 5 * GST_SECOND;

// What the stand-in camera offers; it starts in 640 x 480 RGB like a typical webcam.
constexpr const char* kTestPatternCaps =
    "video/x-raw, format=BGR, width=320, height=240, framerate={ 30/1, 15/1 }; "
    "video/x-raw, format=BGR, width=640, height=480, framerate={ 30/1, 15/1 }; "
    "video/x-raw, format=BGR, width=1280, height=720, framerate={ 30/1, 15/1 }; "
    "video/x-raw, format=YUY2, width=320, height=240, framerate={ 30/1, 15/1 }; "
    "video/x-raw, format=YUY2, width=640, height=480, framerate={ 30/1, 15/1 }; "
    "video/x-raw, format=YUY2, width=1280, height=720, framerate={ 30/1, 15/1 }";
constexpr const char* kTestPatternDefault =
    "video/x-raw, format=BGR, width=640, height=480, framerate=15/1";
// The high-definition stand-in, as common webcams are: YUY2 up to 640 x 480 at 30 frames a
// second but 1280 x 720 only at 10, and Motion JPEG up to 1920 x 1080 at 30.
constexpr const char* kMjpgTestPatternCaps =
    "video/x-raw, format=YUY2, width=640, height=480, framerate={ 30/1, 15/1 }; "
    "video/x-raw, format=YUY2, width=320, height=240, framerate={ 30/1, 15/1 }; "
    "video/x-raw, format=YUY2, width=1280, height=720, framerate=10/1; "
    "image/jpeg, width=640, height=480, framerate={ 30/1, 15/1 }; "
    "image/jpeg, width=1280, height=720, framerate={ 30/1, 15/1 }; "
    "image/jpeg, width=1920, height=1080, framerate={ 30/1, 15/1 }";
constexpr const char* kMjpgTestPatternDefault =
    "video/x-raw, format=YUY2, width=640, height=480, framerate=15/1";

// Rate cap before decoding, then whatever decoding the format needs, then BGR for the callback.
constexpr const char* kCameraChain =
    "capsfilter name=devicecaps ! videorate drop-only=true max-rate=%d ! decodebin ! "
    "videoconvert ! video/x-raw, format=BGR ! appsink name=sink";
// Motion JPEG reaches the callback as it comes; DeliverSample decodes it into the callback's
// layout in one pass.
constexpr const char* kMjpgCameraChain =
    "capsfilter name=devicecaps ! videorate drop-only=true max-rate=%d ! "
    "appsink name=sink caps=image/jpeg";
// The preview takes at most what it shows, 15 frames a second.
constexpr const char* kPreviewChain =
    "videorate drop-only=true max-rate=15 ! videoconvert ! video/x-raw, format=BGR ! "
    "appsink name=sink";

enum class Encoding { kRgb, kYuy2, kMjpg };

bool HasEncoding(const GstStructure* s, Encoding encoding) {
    if (encoding == Encoding::kMjpg) {
        return gst_structure_has_name(s, "image/jpeg");
    }
    if (!gst_structure_has_name(s, "video/x-raw")) {
        return false;
    }
    const char* format = gst_structure_get_string(s, "format");
    return format != nullptr &&
           std::strcmp(format, encoding == Encoding::kRgb ? "BGR" : "YUY2") == 0;
}

bool FixedSize(const GstStructure* s, int* width, int* height) {
    return gst_structure_get_int(s, "width", width) && gst_structure_get_int(s, "height", height);
}

struct CapsDeleter {
    void operator()(GstCaps* caps) const {
        if (caps != nullptr) {
            gst_caps_unref(caps);
        }
    }
};
using CapsPtr = std::unique_ptr<GstCaps, CapsDeleter>;

// The device's capability with the requested size asked for at `fps` frames a second: the first
// of RGB, YUY2 and MJPG that has the size at that rate, else the first that has the size at all
// (at its own rate); null when the device has no such size.
CapsPtr ChooseFormat(const std::string& offered, int width, int height, int fps) {
    CapsPtr caps(gst_caps_from_string(offered.c_str()));
    if (!caps) {
        return nullptr;
    }
    CapsPtr anyRate;
    for (Encoding encoding : {Encoding::kRgb, Encoding::kYuy2, Encoding::kMjpg}) {
        for (guint i = 0; i < gst_caps_get_size(caps.get()); ++i) {
            const GstStructure* s = gst_caps_get_structure(caps.get(), i);
            int w = 0, h = 0;
            if (!HasEncoding(s, encoding) || !FixedSize(s, &w, &h) || w != width || h != height) {
                continue;
            }
            CapsPtr chosen(gst_caps_new_full(gst_structure_copy(s), nullptr));
            CapsPtr rate(gst_caps_new_simple(gst_structure_get_name(s), "framerate",
                                             GST_TYPE_FRACTION, fps, 1, nullptr));
            CapsPtr atRate(gst_caps_intersect(chosen.get(), rate.get()));
            if (atRate && !gst_caps_is_empty(atRate.get())) {
                return atRate;
            }
            if (!anyRate) {
                anyRate = std::move(chosen);
            }
        }
    }
    return anyRate;
}

bool IsMjpg(const GstCaps* caps) {
    return caps != nullptr && gst_caps_get_size(caps) > 0 &&
           gst_structure_has_name(gst_caps_get_structure(caps, 0), "image/jpeg");
}

// The stand-in's moving picture: colour bars scrolling sideways, plainly moving, and upside down
// would show. As Motion JPEG it is encoded as it goes, on a thread of its own ("standin:src"),
// as a camera's own hardware would, so the callback works on one frame while the next is made.
GstElement* MakeStandIn(bool mjpg) {
    GstElement* pattern = gst_element_factory_make("videotestsrc", mjpg ? "standin" : nullptr);
    if (pattern == nullptr) {
        return nullptr;
    }
    g_object_set(pattern, "is-live", TRUE, "num-buffers", TestCameraFrameLimit(),
                 "horizontal-speed", 4, nullptr);
    gst_util_set_object_arg(G_OBJECT(pattern), "pattern", "smpte");
    if (!mjpg) {
        return pattern;
    }
    GstElement* bin = gst_bin_new(nullptr);
    GstElement* encoder = gst_element_factory_make("jpegenc", nullptr);
    GstElement* queue = gst_element_factory_make("queue", nullptr);
    if (encoder == nullptr || queue == nullptr) {
        for (GstElement* element : {pattern, encoder, queue}) {
            if (element != nullptr) {
                gst_object_unref(gst_object_ref_sink(element));
            }
        }
        gst_object_unref(gst_object_ref_sink(bin));
        return nullptr;
    }
    // One frame waits at most: the camera's own buffer.
    g_object_set(queue, "max-size-buffers", 1, "max-size-bytes", 0, "max-size-time", guint64{0},
                 nullptr);
    gst_util_set_object_arg(G_OBJECT(queue), "leaky", "downstream");
    gst_bin_add_many(GST_BIN(bin), pattern, encoder, queue, nullptr);
    gst_element_link_many(pattern, encoder, queue, nullptr);
    GstPad* out = gst_element_get_static_pad(queue, "src");
    gst_element_add_pad(bin, gst_ghost_pad_new("src", out));
    gst_object_unref(out);
    return bin;
}

}  // namespace

struct GraphCallbacks {
    static GstFlowReturn NewSample(GstAppSink* sink, gpointer self) {
        static_cast<CCameraGraph*>(self)->DeliverSample(sink);
        return GST_FLOW_OK;
    }
    static GstBusSyncReply BusMessage(GstBus*, GstMessage* message, gpointer self) {
        auto* graph = static_cast<CCameraGraph*>(self);
        const auto type = GST_MESSAGE_TYPE(message);
        if (type == GST_MESSAGE_ERROR) {
            GError* error = nullptr;
            gst_message_parse_error(message, &error, nullptr);
            if (g_error_matches(error, GST_RESOURCE_ERROR, GST_RESOURCE_ERROR_BUSY)) {
                graph->deviceBusy_.store(true);
            }
            g_clear_error(&error);
        }
        if (type == GST_MESSAGE_ERROR || type == GST_MESSAGE_EOS) {
            graph->ReportFailure();
        }
        return GST_BUS_PASS;
    }
};

void CopyBottomUp(const uint8_t* src, int stride, int width, int height, uint8_t* out) {
    const size_t rowBytes = static_cast<size_t>(width) * 3;
    for (int y = 0; y < height; ++y) {
        std::memcpy(out + rowBytes * (height - 1 - y), src + static_cast<ptrdiff_t>(stride) * y,
                    rowBytes);
    }
}

CCameraGraph::CCameraGraph(CSampleGrabberCB& grabber) : grabber_(grabber) {
    if (!EnsureGstInitialised()) {
        std::printf("CoInitialize Failed!\r\n");
        std::fflush(stdout);
    }
}

CCameraGraph::~CCameraGraph() {
    Teardown();
    if (lastCaps_ != nullptr) {
        gst_caps_unref(lastCaps_);
    }
}

int CCameraGraph::CreateObjects() {
    GstElementFactory* factory =
        EnsureGstInitialised() ? gst_element_factory_find("appsink") : nullptr;
    if (factory == nullptr) {
        std::printf("Fail to create SampleGrabber, maybe qedit.dll is not registered?\n");
        std::fflush(stdout);
        return -1;
    }
    gst_object_unref(factory);
    state_.store(GraphReady);
    return 0;
}

int CCameraGraph::EnumCameras(std::vector<std::string>* combo) {
    return DiscoverCameras(combo);
}

bool CCameraGraph::FindDeviceFilter(const std::string& name, CameraDevice* out) {
    const bool classic = name == kTestCameraName && TestCameraEnabled();
    if (classic || (name == kMjpgTestCameraName && MjpgTestCameraEnabled())) {
        out->name = name;
        out->path.clear();
        out->caps = classic ? kTestPatternCaps : kMjpgTestPatternCaps;
        out->testPattern = true;
        out->device.reset();
        return true;
    }
    std::vector<VideoDeviceRecord> records;
    if (!ListVideoDevices(&records)) {
        return false;
    }
    const int index = PickVideoDevice(records, name);
    if (index >= 0) {
        VideoDeviceRecord& record = records[index];
        out->name = name;
        out->path = record.devicePath;
        out->caps = std::move(record.caps);
        out->testPattern = false;
        out->device = std::move(record.device);
    }
    return true;
}

int CCameraGraph::ListFormats(const std::string& name, std::vector<std::string>* sizes, int* best) {
    CameraDevice device;
    if (!FindDeviceFilter(name, &device) || device.name.empty()) {
        return -1;
    }
    CapsPtr caps(gst_caps_from_string(device.caps.c_str()));
    if (!caps) {
        return 0;
    }
    int added = 0;
    std::vector<std::string> listed;
    auto list = [&](Encoding encoding) {
        for (guint i = 0; i < gst_caps_get_size(caps.get()); ++i) {
            const GstStructure* s = gst_caps_get_structure(caps.get(), i);
            int w = 0, h = 0;
            if (!HasEncoding(s, encoding) || !FixedSize(s, &w, &h)) {
                continue;
            }
            std::string size = std::to_string(w) + " x " + std::to_string(h);
            if (std::find(listed.begin(), listed.end(), size) != listed.end()) {
                continue;
            }
            if (w == 640 && h == 480) {
                *best = added;
            }
            listed.push_back(size);
            sizes->push_back(std::move(size));
            ++added;
        }
    };
    list(Encoding::kRgb);
    if (added == 0) {
        list(Encoding::kYuy2);
    }
    // Sizes that only come compressed (most webcams' large ones) come last.
    list(Encoding::kMjpg);
    return added;
}

int CCameraGraph::BuildGraph(const std::string& device, PreviewFrames* owner, bool preview,
                             int width, int height) {
    if (preview) {
        std::lock_guard lock(mutex_);
        ResetPipeline();
        owner_ = owner;
        preview_ = true;
        return BuildPreview(device);
    }
    CameraDevice camera;
    if (!FindDeviceFilter(device, &camera)) {
        return 1;
    }
    std::lock_guard lock(mutex_);
    ResetPipeline();
    owner_ = owner;
    preview_ = false;
    if (camera.name.empty()) {
        return -1;
    }
    return BuildCamera(camera, width, height);
}

void CCameraGraph::ResetPipeline() {
    if (pipeline_ != nullptr) {
        gst_element_set_state(pipeline_, GST_STATE_NULL);
        gst_object_unref(pipeline_);
        pipeline_ = nullptr;
        builds_.fetch_add(1);
    }
    source_ = CameraDevice();
    failed_.store(false);
    deviceBusy_.store(false);
    frames_.store(0);
    deliveredWidth_.store(0);
    deliveredHeight_.store(0);
}

namespace {

// Puts `source` in front of the chain described by `chain`, all in one pipeline.
GstElement* AssemblePipeline(GstElement* source, const char* chain, GError** error) {
    GstElement* parsed = gst_parse_launch(chain, error);
    if (parsed == nullptr || *error != nullptr) {
        gst_object_unref(gst_object_ref_sink(source));
        if (parsed != nullptr) {
            gst_object_unref(parsed);
        }
        return nullptr;
    }
    // A chain of several elements comes back as a pipeline; its first element takes the source.
    GstElement* first = nullptr;
    GstIterator* elements = gst_bin_iterate_sorted(GST_BIN(parsed));
    GValue item = G_VALUE_INIT;
    while (gst_iterator_next(elements, &item) == GST_ITERATOR_OK) {
        GstElement* element = GST_ELEMENT(g_value_get_object(&item));
        GstPad* sinkPad = gst_element_get_static_pad(element, "sink");
        if (sinkPad != nullptr) {
            if (!gst_pad_is_linked(sinkPad)) {
                gst_object_replace(reinterpret_cast<GstObject**>(&first), GST_OBJECT(element));
            }
            gst_object_unref(sinkPad);
        }
        g_value_reset(&item);
    }
    g_value_unset(&item);
    gst_iterator_free(elements);
    gst_bin_add(GST_BIN(parsed), source);
    const bool linked = first != nullptr && gst_element_link(source, first);
    if (first != nullptr) {
        gst_object_unref(first);
    }
    if (!linked) {
        gst_object_unref(parsed);
        return nullptr;
    }
    return parsed;
}

}  // namespace

// Frames of the appsink reach DeliverSample, bus errors ReportFailure; the graph owns the pipeline.
void CCameraGraph::AdoptPipeline(GstElement* pipeline) {
    GstElement* sink = gst_bin_get_by_name(GST_BIN(pipeline), "sink");
    GstAppSinkCallbacks callbacks{};
    callbacks.new_sample = &GraphCallbacks::NewSample;
    gst_app_sink_set_callbacks(GST_APP_SINK(sink), &callbacks, this, nullptr);
    g_object_set(sink, "sync", FALSE, "max-buffers", 2, "drop", TRUE, nullptr);
    gst_object_unref(sink);
    GstBus* bus = gst_element_get_bus(pipeline);
    gst_bus_set_sync_handler(bus, &GraphCallbacks::BusMessage, this, nullptr);
    gst_object_unref(bus);
    pipeline_ = pipeline;
}

int CCameraGraph::BuildCamera(const CameraDevice& camera, int width, int height) {
    // A large size is asked for at 30 frames a second, where the device delivers them.
    const int fps = ChainSizeFor(width, height).Large() ? kLargeFramesPerSecond : kFramesPerSecond;
    CapsPtr chosen = ChooseFormat(camera.caps, width, height, fps);
    if (!chosen && camera.testPattern) {
        chosen.reset(gst_caps_from_string(
            camera.caps == kTestPatternCaps ? kTestPatternDefault : kMjpgTestPatternDefault));
    }
    const bool mjpg = IsMjpg(chosen.get());
    GstElement* source = nullptr;
    if (camera.testPattern) {
        source = MakeStandIn(mjpg);
    } else if (camera.device) {
        source = gst_device_create_element(camera.device.get(), nullptr);
    }
    if (source == nullptr) {
        std::printf("Failed to add IAMStreamConfig interface!\n");
        std::fflush(stdout);
        return -1;
    }
    char chain[256];
    std::snprintf(chain, sizeof chain, mjpg ? kMjpgCameraChain : kCameraChain, fps);
    GError* error = nullptr;
    GstElement* pipeline = AssemblePipeline(source, chain, &error);
    if (pipeline == nullptr) {
        if (error != nullptr) {
            g_error_free(error);
        }
        return -1;
    }
    formatRequested_ = chosen != nullptr;
    if (chosen) {
        GstElement* filter = gst_bin_get_by_name(GST_BIN(pipeline), "devicecaps");
        g_object_set(filter, "caps", chosen.get(), nullptr);
        gst_object_unref(filter);
    }
    AdoptPipeline(pipeline);
    source_ = camera;
    return 0;
}

int CCameraGraph::BuildPreview(const std::string& device) {
    source_ = CameraDevice();
    source_.name = device;
    const std::string node = FindV4l2NodeByCard(device);
    if (node.empty()) {
        // No loopback device: the shared frame is the picture clients would receive.
        return 0;
    }
    GstElement* source = gst_element_factory_make("v4l2src", nullptr);
    if (source == nullptr) {
        return 0;
    }
    g_object_set(source, "device", node.c_str(), nullptr);
    GError* error = nullptr;
    GstElement* pipeline = AssemblePipeline(source, kPreviewChain, &error);
    if (pipeline == nullptr) {
        if (error != nullptr) {
            g_error_free(error);
        }
        return 0;
    }
    AdoptPipeline(pipeline);
    source_.path = node;
    return 0;
}

int CCameraGraph::Run() {
    std::unique_lock lock(mutex_);
    if (pipeline_ == nullptr) {
        // The preview without a loopback device reads the shared frame; nothing to run.
        return preview_ ? 0 : -1;
    }
    const unsigned build = builds_.load();
    if (StartPlaying(lock)) {
        return 0;
    }
    if (!preview_ && formatRequested_ && frames_.load() == 0 && !deviceBusy_.load() &&
        builds_.load() == build) {
        // The device refused the size it listed: run with its own format instead. A device in
        // use elsewhere refuses every format, so it is not retried.
        std::printf("Set Format Failed\n");
        std::fflush(stdout);
        gst_element_set_state(pipeline_, GST_STATE_NULL);
        GstElement* filter = gst_bin_get_by_name(GST_BIN(pipeline_), "devicecaps");
        g_object_set(filter, "caps", nullptr, nullptr);
        gst_object_unref(filter);
        formatRequested_ = false;
        failed_.store(false);
        if (StartPlaying(lock)) {
            return 0;
        }
    }
    return -1;
}

// Waits for the start without the lock, so a teardown from the interface thread (a close while
// the camera is still opening) neither waits for a slow device nor is undone by this wait.
bool CCameraGraph::StartPlaying(std::unique_lock<std::mutex>& lock) {
    GstElement* pipeline = GST_ELEMENT(gst_object_ref(pipeline_));
    const unsigned build = builds_.load();
    const bool preview = preview_;
    bool started = gst_element_set_state(pipeline, GST_STATE_PLAYING) != GST_STATE_CHANGE_FAILURE;
    lock.unlock();
    started = started && gst_element_get_state(pipeline, nullptr, nullptr, kStartTimeout) !=
                             GST_STATE_CHANGE_FAILURE;
    // Live sources start streaming only now; a device that fails (busy, a format it will not
    // deliver) says so before its first frame. The preview is not waited for: the interface
    // thread must not wait on the loopback device.
    if (started && !preview) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (!failed_.load() && frames_.load() == 0 && builds_.load() == build &&
               std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    lock.lock();
    gst_object_unref(pipeline);
    return started && builds_.load() == build && !failed_.load();
}

int CCameraGraph::StartGraph(int height, int width, bool preview, const std::string& device,
                             PreviewFrames* owner) {
    if (BuildGraph(device, owner, preview, width, height) >= 0 && Run() == 0) {
        if (preview) {
            AttachPreviewWindow();
        }
        state_.store(GraphRunning);
        return 0;
    }
    Teardown();
    return -1;
}

void CCameraGraph::Teardown() {
    PreviewFrames* owner = nullptr;
    {
        std::lock_guard lock(mutex_);
        ResetPipeline();
        owner = preview_ ? owner_ : nullptr;
    }
    if (owner != nullptr) {
        owner->ShowSharedFrame();
    }
    if (state_.load() != 0) {
        state_.store(GraphReady);
    }
}

void CCameraGraph::AttachPreviewWindow() {
    std::lock_guard lock(mutex_);
    if (owner_ != nullptr && pipeline_ == nullptr) {
        owner_->ShowSharedFrame();
    }
}

int CCameraGraph::FindAudioDeviceName() {
    std::string name;
    if (!FirstAudioSourceName(&name)) {
        return -1;
    }
    // The name is kept in at most 999 bytes, cut only between UTF-8 characters.
    size_t length = std::min<size_t>(name.size(), 999);
    while (length > 0 && length < name.size() && (name[length] & 0xC0) == 0x80) {
        --length;
    }
    audioDeviceName_ = name.substr(0, length);
    return 0;
}

std::string CCameraGraph::SourcePath() const {
    std::lock_guard lock(mutex_);
    return pipeline_ != nullptr ? source_.path : "";
}

void CCameraGraph::SetFailureHandler(std::function<void()> handler) {
    failureHandler_ = std::move(handler);
}

void CCameraGraph::ReportFailure() {
    if (!failed_.exchange(true) && state_.load() == GraphRunning && failureHandler_) {
        failureHandler_();
    }
}

void CCameraGraph::DeliverSample(GstAppSink* sink) {
    GstSample* sample = gst_app_sink_pull_sample(sink);
    if (sample == nullptr) {
        return;
    }
    GstCaps* caps = gst_sample_get_caps(sample);
    GstBuffer* buffer = gst_sample_get_buffer(sample);
    if (caps != nullptr && caps != lastCaps_) {
        GstVideoInfo info;
        jpeg_ = IsMjpg(caps);
        if (jpeg_) {
            width_ = height_ = 0;  // each picture says its own
        } else if (gst_video_info_from_caps(&info, caps)) {
            width_ = GST_VIDEO_INFO_WIDTH(&info);
            height_ = GST_VIDEO_INFO_HEIGHT(&info);
            stride_ = GST_VIDEO_INFO_PLANE_STRIDE(&info, 0);
            offset_ = GST_VIDEO_INFO_PLANE_OFFSET(&info, 0);
            frame_.resize(static_cast<size_t>(width_) * height_ * 3);
        } else {
            width_ = height_ = 0;
        }
        if (lastCaps_ != nullptr) {
            gst_caps_unref(lastCaps_);
        }
        lastCaps_ = gst_caps_ref(caps);
    }
    GstMapInfo map;
    if (buffer != nullptr && (width_ > 0 || jpeg_) && gst_buffer_map(buffer, &map, GST_MAP_READ)) {
        const double seconds = GST_BUFFER_PTS_IS_VALID(buffer)
                                   ? static_cast<double>(GST_BUFFER_PTS(buffer)) / GST_SECOND
                                   : 0.0;
        if (jpeg_) {
            int width = 0, height = 0;
            if (decoder_.Decode(map.data, map.size, &frame_, &width, &height)) {
                deliveredWidth_.store(width);
                deliveredHeight_.store(height);
                grabber_.BufferCB(seconds, frame_.data(), static_cast<long>(frame_.size()));
                frames_.fetch_add(1);
            }
        } else {
            DeliverRaw(buffer, map.data, map.size, seconds);
        }
        gst_buffer_unmap(buffer, &map);
    }
    gst_sample_unref(sample);
}

void CCameraGraph::DeliverRaw(GstBuffer* buffer, const uint8_t* data, size_t size, double seconds) {
    // Strides come from the buffer's own layout when it carries one.
    int stride = stride_;
    size_t offset = offset_;
    if (GstVideoMeta* meta = gst_buffer_get_video_meta(buffer)) {
        stride = meta->stride[0];
        offset = meta->offset[0];
    }
    const size_t needed = offset + static_cast<size_t>(stride) * (height_ - 1) + width_ * 3;
    if (size < needed) {
        return;
    }
    deliveredWidth_.store(width_);
    deliveredHeight_.store(height_);
    if (preview_) {
        if (owner_ != nullptr) {
            owner_->Deliver(data + offset, width_, height_, stride);
        }
    } else {
        CopyBottomUp(data + offset, stride, width_, height_, frame_.data());
        grabber_.BufferCB(seconds, frame_.data(), static_cast<long>(frame_.size()));
    }
    frames_.fetch_add(1);
}

}  // namespace zavreo
