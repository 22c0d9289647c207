#include "PipeWireCamera.h"

#include <linux/videodev2.h>
#include <spa/param/video/format-utils.h>
#include <spa/pod/builder.h>
#include <time.h>

#include <cerrno>
#include <cstdio>
#include <iterator>

#include "FrameConvert.h"
#include "SharedFrame.h"
#include "VirtualCamera.h"

namespace zavreo {
namespace {

struct FormatPair {
    spa_video_format spa;
    uint32_t fourcc;
};
// In order of preference: what cameras deliver first, then the picture's own bytes.
constexpr FormatPair kFormats[] = {
    {SPA_VIDEO_FORMAT_YUY2, V4L2_PIX_FMT_YUYV},   {SPA_VIDEO_FORMAT_I420, V4L2_PIX_FMT_YUV420},
    {SPA_VIDEO_FORMAT_BGRx, V4L2_PIX_FMT_XBGR32}, {SPA_VIDEO_FORMAT_UYVY, V4L2_PIX_FMT_UYVY},
    {SPA_VIDEO_FORMAT_BGR, V4L2_PIX_FMT_BGR24},   {SPA_VIDEO_FORMAT_RGB, V4L2_PIX_FMT_RGB24},
};

uint32_t FourccOf(uint32_t spaFormat) {
    for (const FormatPair& pair : kFormats) {
        if (pair.spa == spaFormat) {
            return pair.fourcc;
        }
    }
    return 0;
}

// Bytes of the first row (the luma row for I420).
uint32_t StrideOf(uint32_t fourcc) {
    return fourcc == V4L2_PIX_FMT_YUV420
               ? kFrameWidth
               : static_cast<uint32_t>(ConvertedFrameBytes(fourcc) / kFrameHeight);
}

// One format and mode with plain values, as a camera's node lists them.
const spa_pod* EnumFormat(spa_pod_builder* b, spa_video_format format, const CameraMode& mode) {
    const spa_rectangle size = SPA_RECTANGLE(mode.width, mode.height);
    const spa_fraction rate = SPA_FRACTION(mode.fps, 1);
    return static_cast<const spa_pod*>(spa_pod_builder_add_object(
        b, SPA_TYPE_OBJECT_Format, SPA_PARAM_EnumFormat, SPA_FORMAT_mediaType,
        SPA_POD_Id(SPA_MEDIA_TYPE_video), SPA_FORMAT_mediaSubtype,
        SPA_POD_Id(SPA_MEDIA_SUBTYPE_raw), SPA_FORMAT_VIDEO_format, SPA_POD_Id(format),
        SPA_FORMAT_VIDEO_size, SPA_POD_Rectangle(&size), SPA_FORMAT_VIDEO_framerate,
        SPA_POD_Fraction(&rate)));
}

// How long a reader may take no frame before the node is published anew.
constexpr uint32_t kStarvedSeconds = 2;

// Room for one EnumFormat (about 140 bytes).
constexpr size_t kEnumFormatBytes = 256;

}  // namespace

PipeWireCamera::PipeWireCamera(pw_loop* loop, std::vector<CameraMode> modes,
                               std::function<void()> changed)
    : modes_(std::move(modes)),
      changed_(std::move(changed)),
      context_(pw_context_new(loop, nullptr, 0)) {}

PipeWireCamera::~PipeWireCamera() {
    Disconnect();
    if (context_ != nullptr) {
        pw_context_destroy(context_);
    }
}

bool PipeWireCamera::Connect() {
    if (context_ == nullptr || core_ != nullptr) {
        return core_ != nullptr;
    }
    core_ = pw_context_connect(context_, nullptr, 0);
    if (core_ == nullptr) {
        return false;
    }
    lost_ = false;
    static const pw_core_events coreEvents = [] {
        pw_core_events events{};
        events.version = PW_VERSION_CORE_EVENTS;
        events.error = &PipeWireCamera::OnCoreError;
        return events;
    }();
    pw_core_add_listener(core_, &coreListener_, &coreEvents, this);

    pw_properties* props = pw_properties_new(
        PW_KEY_MEDIA_TYPE, "Video", PW_KEY_MEDIA_CATEGORY, "Capture", PW_KEY_MEDIA_ROLE, "Camera",
        PW_KEY_MEDIA_CLASS, "Video/Source", PW_KEY_NODE_NAME, kPipeWireNodeName,
        PW_KEY_NODE_DESCRIPTION, kVirtualCameraName, nullptr);
    stream_ = pw_stream_new(core_, kPipeWireNodeName, props);
    if (stream_ == nullptr) {
        Disconnect();
        return false;
    }
    static const pw_stream_events streamEvents = [] {
        pw_stream_events events{};
        events.version = PW_VERSION_STREAM_EVENTS;
        events.state_changed = &PipeWireCamera::OnStateChanged;
        events.param_changed = &PipeWireCamera::OnParamChanged;
        events.process = &PipeWireCamera::OnProcess;
        return events;
    }();
    pw_stream_add_listener(stream_, &streamListener_, &streamEvents, this);

    // Format by format in order of preference, each in every mode.
    std::vector<uint8_t> buffer(kEnumFormatBytes * std::size(kFormats) * modes_.size());
    spa_pod_builder builder = SPA_POD_BUILDER_INIT(buffer.data(), uint32_t(buffer.size()));
    std::vector<const spa_pod*> params;
    for (const FormatPair& pair : kFormats) {
        for (const CameraMode& mode : modes_) {
            params.push_back(EnumFormat(&builder, pair.spa, mode));
        }
    }
    if (pw_stream_connect(
            stream_, PW_DIRECTION_OUTPUT, PW_ID_ANY,
            static_cast<pw_stream_flags>(PW_STREAM_FLAG_DRIVER | PW_STREAM_FLAG_MAP_BUFFERS),
            params.data(), uint32_t(params.size())) < 0) {
        Disconnect();
        return false;
    }
    return true;
}

void PipeWireCamera::Disconnect() {
    if (stream_ != nullptr) {
        spa_hook_remove(&streamListener_);
        pw_stream_destroy(stream_);
        stream_ = nullptr;
    }
    if (core_ != nullptr) {
        spa_hook_remove(&coreListener_);
        pw_core_disconnect(core_);
        core_ = nullptr;
    }
    const bool wasStreaming = streaming_;
    streaming_ = false;
    fourcc_ = 0;
    fps_ = 0;
    starvedFrames_ = 0;
    if (wasStreaming && changed_) {
        changed_();
    }
}

void PipeWireCamera::Send(const uint8_t* bottomUpBgr) {
    if (!streaming_ || fourcc_ == 0) {
        return;
    }
    pending_ = bottomUpBgr;
    pw_stream_trigger_process(stream_);
    pending_ = nullptr;
}

void PipeWireCamera::OnCoreError(void* data, uint32_t id, int, int, const char* message) {
    auto* self = static_cast<PipeWireCamera*>(data);
    // Only the connection's own end counts; an error about one object is not fatal.
    if (id != PW_ID_CORE) {
        return;
    }
    std::fprintf(stderr, "zavreo-vcam: PipeWire: %s\n", message != nullptr ? message : "");
    self->lost_ = true;
    if (self->changed_) {
        self->changed_();
    }
}

void PipeWireCamera::OnStateChanged(void* data, pw_stream_state, pw_stream_state state,
                                    const char* error) {
    auto* self = static_cast<PipeWireCamera*>(data);
    if (state == PW_STREAM_STATE_ERROR) {
        std::fprintf(stderr, "zavreo-vcam: PipeWire node failed: %s\n",
                     error != nullptr ? error : "");
        self->lost_ = true;
    }
    self->streaming_ = state == PW_STREAM_STATE_STREAMING;
    if (self->changed_) {
        self->changed_();
    }
}

void PipeWireCamera::OnParamChanged(void* data, uint32_t id, const spa_pod* param) {
    auto* self = static_cast<PipeWireCamera*>(data);
    if (id != SPA_PARAM_Format || param == nullptr) {
        return;
    }
    spa_video_info_raw info{};
    if (spa_format_video_raw_parse(param, &info) < 0 || FourccOf(info.format) == 0 ||
        info.framerate.denom != 1 ||
        !self->Offers(info.size.width, info.size.height, info.framerate.num)) {
        pw_stream_set_error(self->stream_, -EINVAL, "unsupported format");
        return;
    }
    self->fourcc_ = FourccOf(info.format);
    self->fps_ = info.framerate.num;
    self->frameBytes_ = static_cast<uint32_t>(ConvertedFrameBytes(self->fourcc_));
    self->stride_ = StrideOf(self->fourcc_);

    uint8_t buffer[1024];
    spa_pod_builder b = SPA_POD_BUILDER_INIT(buffer, sizeof buffer);
    const spa_pod* params[] = {
        static_cast<const spa_pod*>(spa_pod_builder_add_object(
            &b, SPA_TYPE_OBJECT_ParamBuffers, SPA_PARAM_Buffers, SPA_PARAM_BUFFERS_buffers,
            SPA_POD_CHOICE_RANGE_Int(4, 2, 8), SPA_PARAM_BUFFERS_blocks, SPA_POD_Int(1),
            SPA_PARAM_BUFFERS_size, SPA_POD_Int(self->frameBytes_), SPA_PARAM_BUFFERS_stride,
            SPA_POD_Int(self->stride_))),
        static_cast<const spa_pod*>(
            spa_pod_builder_add_object(&b, SPA_TYPE_OBJECT_ParamMeta, SPA_PARAM_Meta,
                                       SPA_PARAM_META_type, SPA_POD_Id(SPA_META_Header),
                                       SPA_PARAM_META_size, SPA_POD_Int(sizeof(spa_meta_header)))),
    };
    pw_stream_update_params(self->stream_, params, 2);
    if (self->changed_) {
        self->changed_();
    }
}

bool PipeWireCamera::Offers(uint32_t width, uint32_t height, uint32_t fps) const {
    for (const CameraMode& mode : modes_) {
        if (mode.width == width && mode.height == height && mode.fps == fps) {
            return true;
        }
    }
    return false;
}

void PipeWireCamera::OnProcess(void* data) {
    static_cast<PipeWireCamera*>(data)->Fill();
}

void PipeWireCamera::Fill() {
    if (pending_ == nullptr) {
        return;
    }
    pw_buffer* buffer = pw_stream_dequeue_buffer(stream_);
    if (buffer == nullptr) {
        // A reader that left without giving its buffers back (a pw-v4l2 program, PipeWire 0.3)
        // leaves the node stuck for the next reader of the same format until the session manager
        // suspends the idle node (after five seconds). A reader that gets nothing for two
        // seconds gets a node published anew. (Suspending sooner races with browsers, which
        // reopen the camera within a second.)
        if (++starvedFrames_ == kStarvedSeconds * fps_) {
            std::fprintf(stderr,
                         "zavreo-vcam: the PipeWire reader takes no frames; publishing "
                         "the node anew\n");
            lost_ = true;
            if (changed_) {
                changed_();
            }
        }
        return;
    }
    starvedFrames_ = 0;
    spa_data& plane = buffer->buffer->datas[0];
    if (plane.data == nullptr || plane.maxsize < frameBytes_) {
        plane.chunk->size = 0;
    } else {
        ConvertSharedFrame(pending_, fourcc_, static_cast<uint8_t*>(plane.data));
        plane.chunk->offset = 0;
        plane.chunk->size = frameBytes_;
        plane.chunk->stride = static_cast<int32_t>(stride_);
    }
    if (auto* header = static_cast<spa_meta_header*>(
            spa_buffer_find_meta_data(buffer->buffer, SPA_META_Header, sizeof(spa_meta_header)))) {
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC, &now);
        header->flags = 0;
        header->offset = 0;
        header->pts = static_cast<int64_t>(SPA_TIMESPEC_TO_NSEC(&now));
        header->dts_offset = 0;
        header->seq = sequence_++;
    }
    pw_stream_queue_buffer(stream_, buffer);
}

}  // namespace zavreo
